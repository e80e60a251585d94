/* Texts in the messages of zymdate.dll that a caller may act on. Plain C, no
 * Windows headers, so the logic of a caller can test for them anywhere. */
#ifndef ZYMDATE_TEXTS_H
#define ZYMDATE_TEXTS_H

/* CHECKATOMICTIME's failure message holds this text when an NTP server answered
 * with the kiss-o'-death code RATE: it asks to be asked less often. */
#define ZYMDATE_RATE_KISS_TEXT "kiss-o'-death code RATE"

/* The messages of a time from an NTS server (Network Time Security: the key
 * exchange over TLS, every reply authenticated) say this. */
#define ZYMDATE_NTS_TEXT "authenticated (NTS)"

#endif
