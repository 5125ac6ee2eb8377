#define _GNU_SOURCE
#include "Simulador.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

int simulador_inicia(simulador_t* s, const char* familia) {
  memset(s, 0, sizeof *s);
  s->pid = -1;
  strcpy(s->pasta, "/tmp/zuvoecf-c-XXXXXX");
  if (!mkdtemp(s->pasta)) return -1;
  snprintf(s->porta, sizeof s->porta, "%s/ecf", s->pasta);
  snprintf(s->papel, sizeof s->papel, "%s/papel.txt", s->pasta);
  int tubo[2];
  if (pipe2(tubo, O_CLOEXEC) != 0) return -1;
  s->pid = fork();
  if (s->pid == 0) {
    dup2(tubo[0], 0);
    int nulo = open("/dev/null", O_WRONLY);
    if (nulo >= 0) dup2(nulo, 1);
    execl(ZUVO_SIM_CAMINHO, ZUVO_SIM_CAMINHO, familia, "--link", s->porta, "--paper", s->papel,
          "--stdin", (char*)NULL);
    _exit(127);
  }
  close(tubo[0]);
  s->entrada = tubo[1];
  if (s->pid < 0) return -1;
  for (int i = 0; i < 100; i++) {
    struct stat st;
    if (lstat(s->porta, &st) == 0) return 0;
    struct timespec t = {0, 50 * 1000 * 1000};
    nanosleep(&t, NULL);
  }
  return -1;
}

void simulador_para(simulador_t* s) {
  if (s->entrada > 0) close(s->entrada);
  s->entrada = -1;
  if (s->pid > 0) {
    int st;
    waitpid(s->pid, &st, 0);
    s->pid = -1;
  }
  unlink(s->papel);
  unlink(s->porta);
  rmdir(s->pasta);
}

int simulador_no_papel(const simulador_t* s, const char* texto) {
  FILE* f = fopen(s->papel, "rb");
  if (!f) return 0;
  static char papel[1 << 16];
  size_t n = fread(papel, 1, sizeof papel - 1, f);
  fclose(f);
  papel[n] = 0;
  return strstr(papel, texto) != NULL;
}
