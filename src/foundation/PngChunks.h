#pragma once

#include <string>
#include <string_view>

// A PNG's chunks made safe to hand to the decoder, which trusts two things a corrupt file can
// get wrong:
// - Image data chunks that carry no bytes are dropped. They are allowed and mean nothing, but
//   when they come before any data the decoder copies zero bytes to a buffer it has not yet
//   allocated (memcpy to a null pointer, undefined even for zero bytes). One cut short at the
//   end goes too: its header is enough to know it holds nothing.
// - The file is cut before the first chunk whose length runs past its end. The decoder would
//   allocate that length (up to 4 GB, whatever the file's size) before finding the bytes
//   missing; cut, it reports the file as broken at once.
// Anything that is not a PNG, and a PNG that needs neither, comes back as it is, without a
// copy; otherwise the kept chunks are put in `storage` and a view of it returned.
std::string_view safePngChunks(std::string_view bytes, std::string& storage);
