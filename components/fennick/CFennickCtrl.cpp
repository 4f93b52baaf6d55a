// The media editing control: reads media files and writes WAV, WMA, AVI,
// MPEG and WMV files in the background.

#include "FennickIds.h"

#include "ControlObject.h"

namespace fennick {
namespace {

using namespace automation;

class CFennickCtrl final : public ControlObject {
public:
    HRESULT Invoke(DISPID, std::uint16_t, std::vector<Variant>&, Variant*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

const ComponentTypeLib kTypeLib{LIBID_Fennick, "1.0", "Fennick.hlp"};
const ComponentClass kClasses[] = {
    {CLSID_Fennick, kProgId, &ControlObject::CreateAs<CFennickCtrl>},
};

} // namespace
} // namespace fennick

AUTOMATION_COMPONENT_EXPORTS(&fennick::kTypeLib, fennick::kClasses)
