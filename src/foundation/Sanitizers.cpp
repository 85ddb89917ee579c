#include "foundation/Sanitizers.h"

#include <dlfcn.h>
#include <link.h>

namespace {

int pinLibrary(dl_phdr_info* info, size_t, void*)
{
    // The program itself has an empty name; the vDSO's name is not a file. Opening a loaded
    // library again with RTLD_NOLOAD only raises its reference count and, with RTLD_NODELETE,
    // keeps it mapped after its last dlclose.
    if (info->dlpi_name != nullptr && info->dlpi_name[0] == '/')
        dlopen(info->dlpi_name, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

} // namespace

void keepLoadedLibrariesForLeakCheck()
{
    if constexpr (kAddressSanitizer) dl_iterate_phdr(pinLibrary, nullptr);
}
