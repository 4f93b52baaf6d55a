#pragma once
// Identities and dispatch identifiers of the media editing control.

#include "Guid.h"
#include "Unknown.h"

namespace fennick {

inline constexpr automation::CLSID CLSID_Fennick =
    automation::MakeGuid("{57D9AF4C-23BA-47EC-A40B-2DA79641B285}");
inline constexpr const char* kProgId = "FENNICK.FennickCtrl.1";
inline constexpr automation::Guid LIBID_Fennick =
    automation::MakeGuid("{8C1B52E6-7A43-4F0D-9E21-5B6A3D94C7F1}");

} // namespace fennick
