// Whether the files a service runs can be changed by anyone but the
// administrators: the judgement over access lists read elsewhere. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One entry of an access list, its trustee as SID text ("S-1-5-32-545").
struct AccessEntry {
    std::u16string sid;
    std::u16string accountName; // for the words; the SID text when it has no name
    std::uint32_t rights = 0;
    bool allows = true;
    bool inheritOnly = false; // applies to what is made inside later, not to this object
};

// A file or folder of the program with its owner and access list.
struct ObjectSecurity {
    std::u16string path;
    std::u16string ownerSid;
    std::u16string ownerName;
    bool hasList = true; // without one, everybody may do anything
    std::vector<AccessEntry> entries;
};

// Who may change one of the objects, and which.
struct ChangeableObject {
    std::u16string path; // empty: none
    std::u16string who;
};

// The rights that let a trustee change what a program runs: write, append,
// delete (the object or, in a folder, what it holds), and change its access
// list or owner, directly or through a generic right.
inline constexpr std::uint32_t changingRights
    = 0x00000002 | 0x00000004 | 0x00000040 | 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;

// The first object that someone other than Administrators, SYSTEM,
// TrustedInstaller or the installing administrator may change, by an entry
// of its list or as its owner (an owner may always change the list). The
// installing administrator may own the files, and so change their list
// anyway; an entry naming that account gives it nothing more.
// Denying entries are not weighed: a list that needs them to be safe is
// refused all the same.
ChangeableObject firstChangeableByOthers(
    const std::vector<ObjectSecurity>& objects, const std::u16string& installerSid);
