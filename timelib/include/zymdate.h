/* zymdate.dll: time-service client, clock setter, calendar and formatting.
 * Every function is stdcall and exported under its plain upper-case name.
 * Texts are byte BSTRs (SysAllocStringByteLen) holding ANSI text; a NULL BSTR
 * is the empty text; returned BSTRs belong to the caller (SysFreeString).
 * SYSTEMTIME values crossing the time-service exports are UTC. */
#ifndef ZYMDATE_H
#define ZYMDATE_H

#include <stdint.h>
#include <windows.h>
#include <oleauto.h>

#include "zymdate_texts.h"

#ifdef __cplusplus
extern "C" {
#endif

/* One declaration a line, aligned, for readers of the interface. */
/* clang-format off */

/* time-service client */
/* CHECKATOMICTIME asks one time server for UTC and returns 1 with the
 * delay-corrected time, or 0 with the reason in *message. *server comes back
 * cleaned (leading spaces dropped, cut at the first space or "("); it may be a
 * name, an IPv4 address or an IPv6 literal ("::1" or "[::1]"), and every address
 * of a name is tried in turn. Port 123 asks over UDP with SNTP: *serverTime is
 * the PC clock plus the measured offset, *delay the round trip in milliseconds,
 * and *message one line with the stratum, reference, offset and delay; a few
 * requests are sent within timeoutSeconds (30 s when 0), which bounds the call.
 * Every other port asks over TCP (Daytime line or Time protocol value); with a
 * time-out set the connect lasts at most timeoutSeconds, each wait for data as
 * long, and the whole reply at most four times that (error 62). A reply larger
 * than 64 KiB is refused (error 61). Empty or short replies and Daytime lines
 * whose date cannot be read are failures, never a time. */
int32_t  WINAPI CHECKATOMICTIME(BSTR* server, int32_t* port, int32_t timeoutSeconds, double* delay,
                                SYSTEMTIME* serverTime, BSTR* message);
int32_t  WINAPI RFC868TOSYSTEMTIME(uint32_t value, SYSTEMTIME* time);
int32_t  WINAPI SETTIMEPRIVILEGE(void);
BSTR     WINAPI SETPCTIME(SYSTEMTIME* time, int32_t* matchFlag);
BSTR     WINAPI DIFFERENCETEXT(SYSTEMTIME* first, SYSTEMTIME* second, int32_t* matchFlag);
BSTR     WINAPI STTONISTTIME(int32_t* leap, double* advance);
uint32_t WINAPI RFC868TIME(void);
BSTR     WINAPI INETTIME(void);
BSTR     WINAPI SETNEXTCHECKTIME(int32_t* minutes);

/* clang-format on */

/* ASKTIMESERVERS asks several servers of a list and takes the time most of them
 * agree on, each server with a burst of samples over NTP; see docs/library.md. */
#define ZYMDATE_MAX_SERVERS_TO_ASK 5 /* serversToAsk is held within 1..this */
#define ZYMDATE_MAX_SAMPLES 8        /* samplesPerServer is held within 1..this */
#define ZYMDATE_MAX_ANSWERS 25       /* no more servers of a list are asked */

/* What became of a server asked (ZYMDATE_SERVER_ANSWER.verdict). */
#define ZYMDATE_ANSWER_USED 1        /* in the agreeing majority: the time rests on it */
#define ZYMDATE_ANSWER_REFUSED 2     /* gave no time: silent, refused, unhealthy, kiss-o'-death */
#define ZYMDATE_ANSWER_FALSETICKER 3 /* answered, but disagreed with the majority: not used */
#define ZYMDATE_ANSWER_NO_MAJORITY 4 /* answered, but no time was agreed by more than half */

/* ZYMDATE_SERVER_ANSWER.flags */
#define ZYMDATE_ANSWER_RATE_KISS 1 /* it asked to be asked less often (kiss-o'-death RATE) */
#define ZYMDATE_ANSWER_AUTHENTICATED 2 /* an NTS server ("nts://host"): its time authenticated */

typedef struct ZYMDATE_SERVER_ANSWER {
    BSTR server;           /* the cleaned name */
    int32_t verdict;       /* ZYMDATE_ANSWER_... */
    int32_t answered;      /* 1 when it gave a time (used, falseticker or no majority) */
    int32_t samples;       /* replies taken from it */
    int32_t flags;         /* ZYMDATE_ANSWER_RATE_KISS */
    double offsetMs;       /* its clock less the PC's, of its chosen sample */
    double delayMs;        /* the round trip of that sample (TCP: the whole exchange) */
    double rootDistanceMs; /* its own distance from true time (TCP: 1000, the whole second) */
    BSTR message;          /* its answer, why it gave no time, or why it was not used */
} ZYMDATE_SERVER_ANSWER;

typedef struct ZYMDATE_TIME_OUTCOME {
    uint32_t size;       /* set by the caller: sizeof(ZYMDATE_TIME_OUTCOME) */
    int32_t answerCount; /* entries of answers filled, in the order the servers were asked */
    ZYMDATE_SERVER_ANSWER answers[ZYMDATE_MAX_ANSWERS];
    SYSTEMTIME serverTime; /* UTC to the millisecond, the agreed time (result 1 only) */
    double offsetMs;       /* the agreed time less the PC clock */
    double errorBoundMs;   /* the true time lies within serverTime +- this */
    double delayMs;        /* of the source's chosen sample */
    BSTR source;           /* the server the time came from */
    BSTR message;          /* result 1: every server asked and its offset; 0: why no time */
} ZYMDATE_TIME_OUTCOME;

/* Called on the calling thread while ASKTIMESERVERS runs, each time what it is
 * doing changes ("Asking 3 servers"); text is valid during the call only. */
typedef void(WINAPI* ZYMDATE_PROGRESS)(void* context, BSTR text);

/* servers: one name a line (CR LF, LF or CR), each cleaned as CHECKATOMICTIME
 * cleans its server; blank lines and repeated names are skipped. The whole call
 * lasts at most timeoutSeconds (30 s when 0 or less). Returns 1 with the agreed
 * time, or 0 with the reason in outcome->message. outcome->size must be set;
 * the call then writes the whole structure, and every BSTR in it afterwards is
 * the caller's (SysFreeString; unused entries are NULL). progress may be NULL. */
int32_t WINAPI ASKTIMESERVERS(BSTR servers, int32_t port, int32_t timeoutSeconds,
                              int32_t serversToAsk, int32_t samplesPerServer,
                              ZYMDATE_PROGRESS progress, void* context,
                              ZYMDATE_TIME_OUTCOME* outcome);

/* The authorities that NTS servers' certificates are checked against from now on
 * in this process: a PEM file (a private server's CA). NULL or empty: the Windows
 * certificate store, as at the start. Returns 1, or 0 when the file cannot be
 * read or holds no certificate (the setting then stays as it was). */
int32_t WINAPI SETNTSCAFILE(BSTR path);

/* clang-format off */

/* calendar */
int32_t  WINAPI CALDATETOJULIAN(uint32_t packedDate);
/* Returns 0 for day numbers before 1721424 (1 January of year 1) or after
 * 5373484 (31 December 9999), which the packed MMDDYYYY form cannot hold. */
uint32_t WINAPI JULIANTOCALDATE(int32_t julianDay);
int32_t  WINAPI MODIFIEDJULIANDATE(uint32_t packedDate);
int32_t  WINAPI ISLEAPYEAR(uint32_t year);
int32_t  WINAPI DAYSINMONTH(uint32_t month, uint32_t year);
BSTR     WINAPI JULTODATE(int32_t julianDay);
int32_t  WINAPI FIRSTSUNDAYOFAPRIL(int16_t year);
int32_t  WINAPI LASTSUNDAYOFMARCH(int16_t year);
int32_t  WINAPI LASTSUNDAYOFOCTOBER(int16_t year);
int32_t  WINAPI DATEOFFIRSTSUNDAYOFAPRIL(int16_t* year);
int32_t  WINAPI DATEOFLASTSUNDAYOFOCTOBER(int16_t* year);
BSTR     WINAPI GETMONTHNAME(int32_t month);
BSTR     WINAPI DAYOFTHEWEEK(int32_t* useUtc);

/* formatting and date texts */
BSTR     WINAPI FORMATTIME(SYSTEMTIME* time, BSTR* timePicture, BSTR* datePicture);
BSTR     WINAPI GETPCTIME(BSTR* timePicture);
BSTR     WINAPI GETPCDATE(BSTR* datePicture);
BSTR     WINAPI GETPCTIMEANDDATE(int32_t* useUtc, BSTR* datePicture, BSTR* timePicture,
                                 BSTR* separator);
BSTR     WINAPI TIMESTAMP(void);
BSTR     WINAPI USTRING(BSTR text);
double   WINAPI STRTOVBDATE(BSTR dateText);
BSTR     WINAPI VBDATETOSTR(double variantDate);

/* SYSTEMTIME arithmetic and zones */
int32_t  WINAPI INCRSYSTEMTIME(SYSTEMTIME* time, int32_t milliseconds);
int32_t  WINAPI DECRSYSTEMTIME(SYSTEMTIME* time, int32_t milliseconds);
int32_t  WINAPI CONVERTTOLOCALTIME(SYSTEMTIME* source, SYSTEMTIME* target);
int32_t  WINAPI CONVERTTOGMTTIME(SYSTEMTIME* source, SYSTEMTIME* target);
int32_t  WINAPI CONVERTTOSYSTEMTIME(BSTR* dateText, SYSTEMTIME* target);
int32_t  WINAPI DATEDIFFERENCE(BSTR firstDateText, BSTR secondDateText);
int32_t  WINAPI ISFILEDATENEWER(BSTR* fileName, BSTR* dateText);

/* clang-format on */

#ifdef __cplusplus
}
#endif

#endif /* ZYMDATE_H */
