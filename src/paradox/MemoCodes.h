// The engine result codes that memo files and alpha-key collations report,
// with the numbers of the engine's error table. They live here, in one place,
// until the named-code header of the error table takes their place.
#ifndef REMDO_PARADOX_MEMOCODES_H_
#define REMDO_PARADOX_MEMOCODES_H_

#include <cstdint>
#include <string>

namespace remdo::paradox::memocode {

// BLOBFILEMISSING: the table's memo file does not exist.
constexpr std::uint16_t kBlobFileMissing = 8714;
// MEMOCORRUPT: the memo file or one of its blocks does not hold what the
// reference promises (wrong header, wrong block kind, length or stamp).
constexpr std::uint16_t kMemoCorrupt = 8963;
// INVALIDBLOBOFFSET: a blob reference points outside the memo file, into its
// header, or at an entry that cannot exist or is not in use.
constexpr std::uint16_t kInvalidBlobOffset = 9998;
// INVALIDBLOBLEN: a value is longer than one memo block can hold.
constexpr std::uint16_t kInvalidBlobLength = 10029;
// TABLEFULL: the memo file would grow past the offsets a reference can hold.
constexpr std::uint16_t kTableFull = 9479;
// NOTSUPPORTED: the sort order of a language driver is not known to us.
constexpr std::uint16_t kNotSupported = 12289;

}  // namespace remdo::paradox::memocode

#endif  // REMDO_PARADOX_MEMOCODES_H_
