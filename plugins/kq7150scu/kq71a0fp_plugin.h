// The library's entry for the front panel: hands out one 71A0 panel per card it is asked about.
#pragma once

#include "kq7000fp_scuPluginInterface.h"

#include <QObject>

class kq71a0fp_plugin : public QObject, public kq7000fp_scuPluginInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID kq7000fp_scuPluginInterface_iid)
    Q_INTERFACES(kq7000fp_scuPluginInterface)
public:
    kq7000fp_scuWidget *createWidget() override;
};
