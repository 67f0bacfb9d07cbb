// The platform log: one process-wide log file of time-stamped lines, the last
// error text, and the named options of the ZOLM_OPTIONS environment variable.
//
// Owns: the log stream (opened by the first zolm_log call, closed by a call
// with no format), the last error text, the options text (read once).
// Never: fails loudly. A log that cannot be opened leaves logging silent.
#pragma once

// Logs a printf-formatted line with the "[h:mm:ss.hh] " prefix. The first call
// opens the log: a text "ZOLM_LOGFILE=<name>" names the file (the environment
// variable ZOLM_LOGFILE wins over it). A text of the byte 19 followed by
// "FLUSH" or "NOFLUSH" switches flushing after each line on or off.
// Called with a null format it closes the log.
void zolm_log(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Logs "Error: %s\n" and makes text the last error text.
void zolm_error(const char *text);
const char *zolm_last_error();     // "Unknown" until the first zolm_error

// "[name:yes]" / "[name:on]" -> 1, "[name:no]" / "[name:off]" -> 0 in
// ZOLM_OPTIONS; anything else logs "unrecognized setting for %s\n".
int zolm_option_bool(const char *name, int default_value);
int zolm_option_int(const char *name, int default_value);

// Closes the log and forgets the first-call flag, the last error and the
// options text, so the next call starts afresh (shut-down and tests).
void zolm_log_reset();
