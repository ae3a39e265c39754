/*
 * dmcos.h - the device library: opens token slots and carries command
 * APDUs to them.
 *
 * Slots 1..6 are configured in the environment variable TKP30_SLOTS, up to
 * six entries separated by ';', slot 1 first:
 *   emu:<token image path>   an emulated token kept in that file
 *   pcsc:<reader name>       the card in that PC/SC reader (exact name)
 *   pcsc:                    the first PC/SC reader that holds a card
 * An empty or missing entry is an unconfigured slot and never opens.
 *
 * TKP30_TRACE=<file> appends one line per command and per response (hex,
 * status word, slot); "-" traces to standard error. PIN and key material
 * is masked.
 */
#ifndef DMCOS_H
#define DMCOS_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define DMCOS_API /* dmcos.def names the exports */
#elif defined(__GNUC__)
#define DMCOS_API __attribute__((visibility("default")))
#else
#define DMCOS_API
#endif

/* Largest response data the device library delivers (Le = 00 means 256). */
#define DMCOS_MAX_RESPONSE 256
/* Bytes in front of the response data in a response buffer. */
#define DMCOS_RESPONSE_HEADER 2

/* Nonzero when the token in `slot` is open and usable; 0 otherwise.
 * Calling it again on an open slot reuses the open token. */
DMCOS_API int Open_UK(int slot);

/* Why the last Open_UK(slot) failed, as one line of text (UTF-8, no PIN
 * or key: paths, reader names and system reasons only): "not configured",
 * a missing, unreadable or damaged token image, pcscd not running, no
 * such reader (with the readers there are), no card in the reader.
 * Copies at most cap - 1 bytes and a NUL into buf and returns the full
 * length of the reason, so a return of cap or more means it was cut
 * short; 0 (and "") when the last open of the slot succeeded or none was
 * tried. -1 for a slot outside 1..6, a negative cap, or a null buf with
 * cap > 0. The reason is kept per process, per slot. */
DMCOS_API int OpenError_UK(int slot, char *buf, int cap);

/* Nonzero when the slot was closed. */
DMCOS_API int Close_UK(int slot);

/* Power-cycles the emulated token kept in the image file `imagePath` for
 * every process that uses it: logins, the current file and the cipher
 * state are lost. The image itself is not read, so a blank or damaged
 * token can be power-cycled too. Nonzero on success; 0 on failure, with
 * the reason (at most cap - 1 bytes and a NUL) in `buf` when buf is not
 * null and cap is positive. */
DMCOS_API int PowerCycleEmu_UK(const char *imagePath, char *buf, int cap);

/* Sends the `cmdLen` command bytes to the token in `slot`. On success
 * returns nonzero, writes SW1*256+SW2 to *sw, the response data from
 * resp[2] on and the data length (big-endian) into resp[0..1]. Returns 0,
 * writing nothing, when the command could not be carried, or when the
 * response data would not fit in `respCap` bytes of buffer. */
DMCOS_API int APDU_UK(int slot, const unsigned char *cmd, int cmdLen, unsigned char *resp,
                      int respCap, int *sw);

#ifdef __cplusplus
}
#endif

#endif /* DMCOS_H */
