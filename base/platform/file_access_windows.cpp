#include "base/platform/file_access.h"

#include "base/platform/native_text.h"

#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>

#include <memory>
#include <vector>

namespace brindlecot::platform {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

// The user the process runs as, from its token.
std::vector<unsigned char> CurrentUser() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    const std::unique_ptr<void, HandleCloser> token(raw);
    DWORD size = 0;
    GetTokenInformation(raw, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || !GetTokenInformation(raw, TokenUser, user.data(), size, &size))
        return {};
    return user;
}

}  // namespace

bool RestrictToOwner(const std::string& path) {
    std::optional<std::wstring> wide = ToWide(CP_ACP, path);
    std::vector<unsigned char> user = CurrentUser();
    if (!wide || user.empty())
        return false;
    PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = GENERIC_ALL;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    PACL rawList = nullptr;
    if (SetEntriesInAclW(1, &access, nullptr, &rawList) != ERROR_SUCCESS)
        return false;
    const std::unique_ptr<void, LocalFreer> list(rawList);
    // Protected: the folder's inheritable entries no longer apply to the file.
    return SetNamedSecurityInfoW(wide->data(), SE_FILE_OBJECT,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 nullptr, nullptr, rawList, nullptr) == ERROR_SUCCESS;
}

void StartWriteBack(int, std::uint64_t, std::uint64_t) {}

}  // namespace brindlecot::platform
