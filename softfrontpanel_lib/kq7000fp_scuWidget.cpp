#include "kq7000fp_scuWidget.h"

kq7000fp_scuWidget::kq7000fp_scuWidget(QWidget *parent) : QWidget(parent) {}

// Defined here so that the class's vtable and type information live in this library only,
// which both the program and the plug-ins link.
kq7000fp_scuWidget::~kq7000fp_scuWidget() = default;
