#include "resources/DemoData.h"

#include <QtCore/qglobal.h>

void InitDemoDataResource() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(demodata);
        return true;
    }();
    (void)registered;
}
