/* A printer simulator in a child process, for the C tests: zuvoecf-sim on a
   pseudo-terminal behind a symbolic link, stopped by closing its input. */
#ifndef ZUVOECF_TESTE_SIMULADOR_H
#define ZUVOECF_TESTE_SIMULADOR_H

#include <sys/types.h>

typedef struct {
  pid_t pid;
  int entrada; /* the write end of the simulator's standard input */
  char pasta[64];
  char porta[96];
  char papel[96];
} simulador_t;

/* Starts zuvoecf-sim for familia; 0 when its port is ready. */
int simulador_inicia(simulador_t* s, const char* familia);
/* Stops it and removes its files. */
void simulador_para(simulador_t* s);
/* Whether the paper roll holds texto (Windows-1252 bytes as printed). */
int simulador_no_papel(const simulador_t* s, const char* texto);

#endif
