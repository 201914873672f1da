/* The comparison for listing a handheld: reads only each database file's
 * header and entry list and prints what the host's list prints.
 *   bench_pdb_headers_c HANDHELD_FOLDER */
#include <dirent.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: bench_pdb_headers_c HANDHELD_FOLDER\n");
    return 2;
  }
  static unsigned char list[65536 * 10];
  for (int card = 0; card < 64; ++card) {
    char folder[4096];
    snprintf(folder, sizeof folder, "%s/card%d", argv[1], card);
    DIR* dir = opendir(folder);
    if (!dir) break;
    struct dirent* entry;
    while ((entry = readdir(dir)) != NULL) {
      const size_t length = strlen(entry->d_name);
      if (length < 5 || (strcmp(entry->d_name + length - 4, ".pdb") && strcmp(entry->d_name + length - 4, ".prc"))) {
        continue;
      }
      char path[8192];
      snprintf(path, sizeof path, "%s/%s", folder, entry->d_name);
      const int fd = open(path, O_RDONLY);
      unsigned char header[78];
      if (fd < 0 || pread(fd, header, sizeof header, 0) != (ssize_t)sizeof header) {
        if (fd >= 0) close(fd);
        continue;
      }
      const unsigned count = (unsigned)header[76] << 8 | header[77];
      const size_t entrySize = (header[33] & 1) ? 10 : 8;
      /* The list is read as a whole lister would, to check the offsets. */
      if (pread(fd, list, count * entrySize, 78) != (ssize_t)(count * entrySize)) {
        close(fd);
        continue;
      }
      close(fd);
      printf("%d\t%.31s\t%.4s\t%.4s\t%u\t%u\n", card, (const char*)header, (const char*)header + 60,
             (const char*)header + 64, (unsigned)header[34] << 8 | header[35], count);
    }
    closedir(dir);
  }
  return 0;
}
