#include "kq71a0fp_plugin.h"

#include "kq71a0fp_panel.h"

kq7000fp_scuWidget *kq71a0fp_plugin::createWidget() {
    return new kq71a0fp_panel;
}
