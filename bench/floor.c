/* The floor: what probing files costs at the least. Opens each file, reads its first 128 bytes,
 * closes it and writes one line per file, on THREADS threads (1 unless given), which take the
 * files one at a time from a shared counter and write their lines in 64 KiB blocks, in no
 * particular order. With -s it looks at each path with stat first, as pelorin-cli does before
 * it opens a file: the probe's four calls.
 * Usage: floor [-s] [-t THREADS] FILE... */
#include <fcntl.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char **files;
static int fileCount;
static atomic_int next;
static int statFirst;

static void flush(char *out, size_t *used) {
  for (size_t done = 0; done < *used;) {
    ssize_t wrote = write(1, out + done, *used - done);
    if (wrote <= 0) exit(3);
    done += (size_t)wrote;
  }
  *used = 0;
}

static void *probeFiles(void *unused) {
  (void)unused;
  static _Thread_local char out[1 << 16];
  size_t used = 0;
  unsigned char header[128];
  for (int i; (i = atomic_fetch_add(&next, 1)) < fileCount;) {
    struct stat st;
    int regular = !statFirst || (stat(files[i], &st) == 0 && S_ISREG(st.st_mode));
    int fd = regular ? open(files[i], O_RDONLY | O_CLOEXEC) : -1;
    ssize_t got = fd < 0 ? -1 : pread(fd, header, sizeof header, 0);
    if (fd >= 0) close(fd);
    if (used + strlen(files[i]) + 32 > sizeof out) flush(out, &used);
    used += (size_t)snprintf(out + used, sizeof out - used, "%s %zd\n", files[i], got);
  }
  flush(out, &used);
  return NULL;
}

int main(int argc, char **argv) {
  int threads = 1, first = 1;
  if (argc > first && strcmp(argv[first], "-s") == 0) {
    statFirst = 1;
    ++first;
  }
  if (argc > first + 1 && strcmp(argv[first], "-t") == 0) {
    threads = atoi(argv[first + 1]);
    first += 2;
  }
  if (threads < 1) threads = 1;
  files = argv + first;
  fileCount = argc - first;
  pthread_t *running = calloc((size_t)threads, sizeof *running);
  for (int t = 1; t < threads; ++t) pthread_create(&running[t], NULL, probeFiles, NULL);
  probeFiles(NULL);
  for (int t = 1; t < threads; ++t) pthread_join(running[t], NULL);
  free(running);
  return 0;
}
