#include "service/program_files_check.h"

#include "common/service_sid.h"

namespace {

bool trusted(const std::u16string& sid)
{
    static const std::u16string trustedInstaller = serviceSidText(u"TrustedInstaller");
    return sid == u"S-1-5-32-544" || sid == u"S-1-5-18" || sid == trustedInstaller;
}

} // namespace

ChangeableObject firstChangeableByOthers(
    const std::vector<ObjectSecurity>& objects, const std::u16string& installerSid)
{
    for (const ObjectSecurity& object : objects) {
        if (!trusted(object.ownerSid) && object.ownerSid != installerSid)
            return {object.path, object.ownerName};
        if (!object.hasList) return {object.path, u"Everyone"};
        for (const AccessEntry& entry : object.entries) {
            if (!entry.allows || entry.inheritOnly || (entry.rights & changingRights) == 0) continue;
            if (!trusted(entry.sid) && entry.sid != installerSid) return {object.path, entry.accountName};
        }
    }
    return {};
}
