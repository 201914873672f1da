/* The comparison for a pput: downloads a file with libcurl, saves it, then
 * queues a copy that is flushed to disk and renamed into place.
 *   bench_pput_c URL FOLDER */
#include <curl/curl.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static size_t save(char* data, size_t size, size_t count, void* file) {
  return fwrite(data, size, count, (FILE*)file) * size;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: bench_pput_c URL FOLDER\n");
    return 2;
  }
  char downloaded[4096], temp[4096], queued[4096];
  snprintf(downloaded, sizeof downloaded, "%s/download.pdb", argv[2]);
  snprintf(temp, sizeof temp, "%s/.queued.tmp", argv[2]);
  snprintf(queued, sizeof queued, "%s/queued.pdb", argv[2]);

  FILE* out = fopen(downloaded, "wb");
  if (!out) return 1;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, argv[1]);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, save);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
  const CURLcode rc = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  curl_global_cleanup();
  if (fclose(out) != 0 || rc != CURLE_OK) return 1;

  const int from = open(downloaded, O_RDONLY);
  const int to = open(temp, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (from < 0 || to < 0) return 1;
  static char buffer[1 << 20];
  ssize_t n;
  while ((n = read(from, buffer, sizeof buffer)) > 0) {
    if (write(to, buffer, (size_t)n) != n) return 1;
  }
  if (n < 0 || fsync(to) != 0 || close(to) != 0 || rename(temp, queued) != 0) return 1;
  close(from);
  return 0;
}
