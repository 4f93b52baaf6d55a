#pragma once
// Registration identities of the CD ripping control.

#include "Guid.h"

namespace trakkon {

using automation::MakeGuid;

inline constexpr automation::Guid LIBID_TRAKKONLib =
    MakeGuid("{175AB0EE-CFF4-401C-8CCF-85EBA8998646}");
inline constexpr automation::CLSID CLSID_Trakkon =
    MakeGuid("{30B7A913-C86B-486F-9DB1-1D326E09EAD8}");
inline constexpr const char* kProgId = "TRAKKON.TrakkonCtrl.1";
inline constexpr automation::CLSID CLSID_TrakkonPropPage =
    MakeGuid("{09D5C5AD-4625-4CEB-BEB6-75CE2E3F6CFA}");
inline constexpr const char* kPropPageProgId = "TRAKKON.TrakkonPropPage.1";
inline constexpr automation::IID DIID__DTrakkon =
    MakeGuid("{E6B4E407-8ADE-4FF5-B340-CA1BE0945F45}");
inline constexpr automation::IID DIID__DTrakkonEvents =
    MakeGuid("{ED23DB6E-A457-48A4-8CA0-19CFEBF962E1}");

} // namespace trakkon
