/* The comparison for a pget: reads a record database's records straight from
 * its file, percent-encodes them into one form body sized in advance, and
 * posts it with libcurl, as a lean C client would.
 *   bench_pget_c FILE NAME URL */
#include <curl/curl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint32_t be32(const unsigned char* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

static int unreserved(unsigned char b) {
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

static size_t discard(char* data, size_t size, size_t count, void* user) {
  (void)data;
  (void)user;
  return size * count;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: bench_pget_c FILE NAME URL\n");
    return 2;
  }
  FILE* file = fopen(argv[1], "rb");
  unsigned char header[78];
  if (!file || fread(header, 1, sizeof header, file) != sizeof header) return 1;
  fseek(file, 0, SEEK_END);
  const long fileSize = ftell(file);
  const unsigned count = (unsigned)header[76] << 8 | header[77];
  unsigned char* list = malloc(count * 8u + 1);
  fseek(file, 78, SEEK_SET);
  if (fread(list, 8, count, file) != count) return 1;

  const char* name = argv[2];
  const size_t keys = strlen(name) * 2 + 32;
  size_t capacity = 256;
  for (unsigned i = 0; i < count; ++i) {
    const uint32_t end = i + 1 < count ? be32(list + (i + 1) * 8) : (uint32_t)fileSize;
    capacity += keys + 3 * (end - be32(list + i * 8)) + 12;
  }
  char* body = malloc(capacity);
  size_t used = (size_t)sprintf(body, "language=PT&cmd=pget&dbname=%s&dbtype=DATA", name);
  static const char hex[] = "0123456789abcdef";
  unsigned char record[65536];
  for (unsigned i = 0; i < count; ++i) {
    const uint32_t start = be32(list + i * 8);
    const uint32_t end = i + 1 < count ? be32(list + (i + 1) * 8) : (uint32_t)fileSize;
    const size_t size = end - start;
    if (size == 0 || size > sizeof record) continue;
    fseek(file, (long)start, SEEK_SET);
    if (fread(record, 1, size, file) != size) return 1;
    used += (size_t)sprintf(body + used, "&%s_record=", name);
    for (size_t k = 0; k + 1 < size; ++k) {
      const unsigned char b = record[k];
      if (unreserved(b)) {
        body[used++] = (char)b;
      } else {
        body[used++] = '%';
        body[used++] = hex[b >> 4];
        body[used++] = hex[b & 15];
      }
    }
    const uint32_t id = (uint32_t)list[i * 8 + 5] << 16 | (uint32_t)list[i * 8 + 6] << 8 | list[i * 8 + 7];
    used += (size_t)sprintf(body + used, "&%s_record_id=%u", name, id);
  }
  fclose(file);

  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, argv[3]);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, (curl_off_t)used);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, discard);
  const CURLcode rc = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  curl_global_cleanup();
  free(body);
  free(list);
  if (rc != CURLE_OK) fprintf(stderr, "bench_pget_c: %s\n", curl_easy_strerror(rc));
  return rc == CURLE_OK ? 0 : 1;
}
