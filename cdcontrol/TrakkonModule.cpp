// The module's registration: the control class and its property page.

#include "CTrakkonCtrl.h"
#include "TrakkonIds.h"

namespace trakkon {
namespace {

using namespace automation;

const ComponentTypeLib kTypeLib{LIBID_TRAKKONLib, "1.0", "Trakkon.hlp"};
// The property page is registered with the control; it has no object of its
// own here (hosts never show it).
const ComponentClass kClasses[] = {
    {CLSID_Trakkon, kProgId, &ControlObject::CreateAs<CTrakkonCtrl>},
    {CLSID_TrakkonPropPage, kPropPageProgId, nullptr},
};

} // namespace
} // namespace trakkon

AUTOMATION_COMPONENT_EXPORTS(&trakkon::kTypeLib, trakkon::kClasses)
