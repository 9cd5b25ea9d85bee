// SetFromDIB on arbitrary bytes: whatever a banner file or the clipboard hands us must give a
// picture or an error, never a crash or an allocation the block cannot justify.
#include "platform/imaging/ImagingControl.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ImagingControl control;
    PackedDib dib(std::vector<std::uint8_t>(data, data + size));
    if (control.SetFromDIB(dib) == 0 && control.HasBitmap()) {
        // What we read we must be able to write and read again identically.
        const PackedDib again = control.GetAsDIB();
        ImagingControl other;
        if (other.SetFromDIB(again) != 0 || other.GetAsDIB() != again)
            __builtin_trap();
    }
    return 0;
}
