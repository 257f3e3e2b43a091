// Timed tool run for comparison: pxlib, an independent Paradox library,
// copies a table record by record into a new one of the same fields and
// key (data file only; pxlib is given no memo file), as remdo-table copy
// does with our engine. Prints the seconds the copy took.
//
//   PxlibCopyBench SOURCE.db TARGET.db
extern "C" {
#include <paradox.h>
}

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: PxlibCopyBench SOURCE.db TARGET.db\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  PX_boot();
  pxdoc_t* source = PX_new();
  if (source == nullptr || PX_open_file(source, argv[1]) < 0) {
    std::fprintf(stderr, "pxlib cannot open %s\n", argv[1]);
    return 1;
  }
  const int fieldCount = PX_get_num_fields(source);
  const int records = PX_get_num_records(source);
  float keys = 0;
  PX_get_value(source, "numprimkeys", &keys);
  // pxlib keeps the field list it is given and frees it with the table.
  auto* fields = static_cast<pxfield_t*>(std::calloc(static_cast<std::size_t>(fieldCount), sizeof(pxfield_t)));
  const pxfield_t* sourceFields = PX_get_fields(source);
  for (int i = 0; i < fieldCount; ++i) {
    fields[i] = sourceFields[i];
    fields[i].px_fname = static_cast<char*>(std::malloc(std::strlen(sourceFields[i].px_fname) + 1));
    std::strcpy(fields[i].px_fname, sourceFields[i].px_fname);
  }
  pxdoc_t* target = PX_new();
  if (target == nullptr || PX_create_file(target, fields, fieldCount, argv[2], pxfFileTypIndexDB) < 0) {
    std::fprintf(stderr, "pxlib cannot create %s\n", argv[2]);
    return 1;
  }
  PX_set_value(target, "numprimkeys", keys);
  std::vector<char> record(static_cast<std::size_t>(source->px_head->px_recordsize));
  for (int i = 0; i < records; ++i) {
    if (PX_get_record(source, i, record.data()) == nullptr || PX_put_record(target, record.data()) < 0) {
      std::fprintf(stderr, "pxlib failed at record %d\n", i);
      return 1;
    }
  }
  PX_close(target);
  PX_delete(target);
  PX_close(source);
  PX_delete(source);
  PX_shutdown();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seconds %.3f records %d\n", seconds, records);
  return 0;
}
