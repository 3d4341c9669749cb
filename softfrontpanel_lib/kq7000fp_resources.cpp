#include "kq7000fp_resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must not be used inside a namespace or a class member.
static void registerAll() {
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(kq7000fp_generated);
}

void kq7000fp_resources::init() {
    registerAll();
}
