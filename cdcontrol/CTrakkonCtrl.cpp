// The CD ripping control: lists drives and tracks, plays, ejects and rips
// tracks to MP3 or Ogg Vorbis on a thread of its own.

#include "TrakkonIds.h"

#include "ControlObject.h"

namespace trakkon {
namespace {

using namespace automation;

class CTrakkonCtrl final : public ControlObject {
public:
    HRESULT Invoke(DISPID, std::uint16_t, std::vector<Variant>&, Variant*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

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
