// Fuzz target for the raw table reader: any bytes as a table file. The
// reader is made over them, its layout read, every record walked and every
// field decoded, also as remdo-table's dump would, blob values read from
// the same bytes taken as the table's memo file. The only error allowed is
// the reader's read error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "env/Errors.h"
#include "env/MemoryFile.h"
#include "paradox/format/PxObject.h"
#include "remdo-table/BlobValues.h"
#include "remdo-table/ValueText.h"

namespace {

using remdo::paradox::TPxFieldObject;
using remdo::paradox::TPxObject;

void ReadLayout(TPxObject& reader) {
  (void)reader.RecordSize();
  (void)reader.RecordCount();
  (void)reader.KeyFieldCount();
  (void)reader.FileVersion();
  (void)reader.IsEncrypted();
  (void)reader.HeaderBytes();
  // Numbers around the field list; beyond it every number fails alike.
  const int last = std::min(reader.FieldCount(), 256);
  for (int number = -1; number <= last; ++number) {
    try {
      const TPxFieldObject& field = reader.FieldByNumber(number);
      (void)field.TypeCode();
      (void)field.Width();
    } catch (const remdo::env::EReadError&) {
    }
  }
  try {
    (void)reader.BlockSize();
    (void)reader.BlockCount();
    (void)reader.HasTrailingPartBlock();
  } catch (const remdo::env::EReadError&) {
  }
}

// Fields that lie beyond the record raise the read error; that is tried on
// the first record only, to keep the runs fast.
void DecodeFields(TPxObject& reader, bool firstRecord, remdo::tools::TBlobValues& blobs) {
  const std::span<const std::byte> record = reader.RecordData();
  volatile std::byte sink{};
  for (const std::byte b : record) sink = sink ^ b;  // the whole record must be readable
  for (const TPxFieldObject* field = reader.FirstField(); field != nullptr; field = field->Next()) {
    const bool fits = static_cast<std::size_t>(field->Offset() + field->Width()) <= record.size();
    if (!fits && !firstRecord) continue;
    try {
      remdo::paradox::TFieldValue value{};
      field->DecodeValue(value);
      (void)field->AsFloat();
      (void)field->AsInteger();
      (void)remdo::tools::FieldText(*field, firstRecord ? 0 : 1252, blobs);  // 0: an unknown code page
      if (firstRecord) {
        (void)field->IsEmpty();
        (void)field->AsShort();
        (void)field->AsLong();
        (void)field->AsDouble();
        (void)field->AsLogical();
        (void)field->AsText();
      }
    } catch (const remdo::env::EReadError&) {
      // A field that the header puts beyond the record.
    }
  }
}

void WalkAll(TPxObject& reader, remdo::tools::TBlobValues& blobs) {
  try {
    if (reader.FirstRecord()) {
      bool first = true;
      do {
        DecodeFields(reader, first, blobs);
        first = false;
      } while (reader.NextRecord());
      (void)reader.NextRecord();  // past the end stays at the end
    }
    // Again from the start, without decoding.
    if (reader.FirstRecord()) {
      while (reader.NextRecord()) {
      }
    }
  } catch (const remdo::env::EReadError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = std::span(reinterpret_cast<const std::byte*>(data), size);
  std::unique_ptr<TPxObject> reader;
  try {
    reader = std::make_unique<TPxObject>(std::make_unique<remdo::env::TMemoryFile>(bytes, "fuzz.db"));
  } catch (const remdo::env::EReadError&) {
    return 0;  // shorter than 4 bytes
  }
  ReadLayout(*reader);
  remdo::tools::TBlobValues blobs(std::make_unique<remdo::env::TMemoryFile>(bytes, "fuzz.mb"));
  WalkAll(*reader, blobs);
  return 0;
}
