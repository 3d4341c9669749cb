/* Test-only control of the simulated cards. The program never includes this: tests use it
 * to load another world and to see what the program asked of the cards. A function that
 * returns a number returns -1 when the simulation itself failed (e.g. out of memory). */
#ifndef KQSIM_CONTROL_H
#define KQSIM_CONTROL_H

#ifdef __cplusplus
extern "C" {
#endif

/* Closes every session and reads the world again from KQ7150_SIM_CONFIG and
 * KQ7150_SIM_FAULTS (the built-in world when the first is unset). Returns 0 when the
 * files were read without error. */
int kqsim_reload(void);
/* The last load error, "" when none; copied into buffer (size bytes, terminated). */
void kqsim_loadError(char *buffer, int size);
/* How often a named call was made since the last reload or clear. */
int kqsim_callCount(const char *call);
/* The arguments of the last such call as text ("channel=3 source=2 ..."); "" when none. */
void kqsim_lastCall(const char *call, char *buffer, int size);
void kqsim_clearCallLog(void);
/* Sessions of any kind that are open now. */
int kqsim_openSessions(void);

#ifdef __cplusplus
}
#endif

#endif
