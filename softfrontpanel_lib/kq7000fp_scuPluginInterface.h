// What a signal conditioning unit plug-in library exports: a factory of panel widgets, one
// widget per function card it is asked about. The plug-ins are built and delivered apart from
// the front panel, so the identifier carries a version: a plug-in built against another
// layout of this interface is not recognised and is skipped.
#pragma once

#include <QtPlugin>

class kq7000fp_scuWidget;

class kq7000fp_scuPluginInterface {
public:
    virtual ~kq7000fp_scuPluginInterface() = default;

    // A new widget without a parent, or null when the plug-in has none to give. The caller
    // owns the widget and deletes it before the library is unloaded.
    virtual kq7000fp_scuWidget *createWidget() = 0;
};

#define kq7000fp_scuPluginInterface_iid "com.travix.Movara.Plugin.kq7000fp_scuPluginInterface/1.0"

Q_DECLARE_INTERFACE(kq7000fp_scuPluginInterface, kq7000fp_scuPluginInterface_iid)
