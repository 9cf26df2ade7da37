#include "demo_region.h"
#include "framework/errors.h"

DemoRegion makeDemoRegion(const QString &, const DemoOptions &)
{
    throw Error("not written yet");
}
