/* query_time: asks a time server for the time through zymdate.dll and prints
 * the server's UTC time, its answer, this PC's time as a NIST Daytime line and
 * how far this PC's clock is from the server's, as Tickwell words it.
 *
 *   query_time [--ca FILE] [HOST [PORT [TIMEOUT]]]   time.nist.gov, port 13, 10 seconds by default
 *   query_time [--ca FILE] HOST,HOST[,...] [PORT [TIMEOUT]]
 *
 * With several hosts (comma-separated) it asks them all through ASKTIMESERVERS,
 * with a burst of four samples from each over NTP (port 123), and prints what
 * became of each server and the time most of them agree on.
 *
 * A host written nts://host or nts://host:port (the key-exchange port, 4460 by
 * default) is an NTS server: asked over NTP with Network Time Security whatever
 * PORT says, its time authenticated ("authenticated (NTS)"). --ca FILE checks
 * NTS servers' certificates against the authorities of that PEM file instead of
 * the Windows certificate store (SETNTSCAFILE), as a private NTS server needs.
 *
 * Exit code 0 when a time was received, 1 when the query failed, 2 on bad arguments
 * or a CA file that cannot be read.
 *
 * Build from the kit's folder (see docs/library.md), then put bin\x64\zymdate.dll
 * and bin\x64\zym.dll (or the x86 pair) beside query_time.exe:
 *   MinGW-w64:   x86_64-w64-mingw32-gcc -Wall -Wextra -Iinclude examples/query_time.c
 *                    -Llib/x64 -lzymdate -loleaut32 -o query_time.exe
 *   Visual C++:  cl /W4 /Iinclude examples\query_time.c lib\x64\zymdate.lib oleaut32.lib
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zymdate.h"

/* Texts cross the interface as byte BSTRs holding ANSI text. */
static BSTR text_from(const char *s)
{
    return SysAllocStringByteLen(s, (UINT)strlen(s));
}

/* Prints a returned or written-back text; NULL is the empty text. */
static void print_text(const char *label, BSTR text)
{
    const int length = text ? (int)SysStringByteLen(text) : 0;
    printf("%s%.*s\n", label, length, text ? (const char *)text : "");
}

static int parse_number(const char *s, long low, long high, int32_t *out)
{
    char *end = NULL;
    const long value = strtol(s, &end, 10);
    if (end == s || *end != '\0' || value < low || value > high)
        return 0;
    *out = (int32_t)value;
    return 1;
}

static const char *verdict_name(int32_t verdict)
{
    switch (verdict) {
    case ZYMDATE_ANSWER_USED: return "used";
    case ZYMDATE_ANSWER_FALSETICKER: return "falseticker";
    case ZYMDATE_ANSWER_NO_MAJORITY: return "no majority";
    default: return "no time";
    }
}

static void WINAPI show_progress(void *context, BSTR text)
{
    (void)context;
    print_text("...         ", text);
}

/* Several servers that must agree: hosts is a comma-separated list. */
static int ask_servers(const char *hosts, int32_t port, int32_t timeout)
{
    /* One name a line. */
    char list[1024];
    size_t n = strlen(hosts);
    if (n >= sizeof list)
        n = sizeof list - 1;
    memcpy(list, hosts, n);
    list[n] = '\0';
    int32_t count = 1;
    for (char *c = list; *c; ++c)
        if (*c == ',') {
            *c = '\n';
            ++count;
        }
    BSTR servers = text_from(list);
    /* The outcome is large: static, and its size set before the call. */
    static ZYMDATE_TIME_OUTCOME outcome;
    outcome.size = sizeof outcome;
    const int32_t ok = ASKTIMESERVERS(servers, port, timeout, count, port == 123 ? 4 : 1,
                                      show_progress, NULL, &outcome);
    for (int32_t i = 0; i < outcome.answerCount; ++i) {
        const ZYMDATE_SERVER_ANSWER *a = &outcome.answers[i];
        printf("server %d:   %.*s: %s", (int)(i + 1),
               a->server ? (int)SysStringByteLen(a->server) : 0,
               a->server ? (const char *)a->server : "", verdict_name(a->verdict));
        if (a->answered)
            printf(", offset %+.1f ms, delay %.1f ms, %d sample(s)", a->offsetMs, a->delayMs,
                   (int)a->samples);
        /* An NTS server whose replies were authenticated. */
        if (a->flags & ZYMDATE_ANSWER_AUTHENTICATED)
            printf(", " ZYMDATE_NTS_TEXT);
        printf("\n");
        print_text("            ", a->message);
    }
    if (ok) {
        const SYSTEMTIME *utc = &outcome.serverTime;
        printf("UTC:        %04u-%02u-%02u %02u:%02u:%02u.%03u (within %.1f ms)\n",
               (unsigned)utc->wYear, (unsigned)utc->wMonth, (unsigned)utc->wDay,
               (unsigned)utc->wHour, (unsigned)utc->wMinute, (unsigned)utc->wSecond,
               (unsigned)utc->wMilliseconds, outcome.errorBoundMs);
        print_text("from:       ", outcome.source);
        print_text("agreed:     ", outcome.message);
    } else {
        print_text("failed:     ", outcome.message);
    }
    /* Every text in the outcome is the caller's; unused ones are NULL. */
    for (int i = 0; i < ZYMDATE_MAX_ANSWERS; ++i) {
        SysFreeString(outcome.answers[i].server);
        SysFreeString(outcome.answers[i].message);
    }
    SysFreeString(outcome.source);
    SysFreeString(outcome.message);
    SysFreeString(servers);
    return ok ? 0 : 1;
}

int main(int argc, char **argv)
{
    /* --ca FILE may stand anywhere; the other arguments keep their order. */
    const char *ca = NULL;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--ca") == 0 && i + 1 < argc)
            ca = argv[++i];
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    const char *host = argc > 1 ? argv[1] : "time.nist.gov";
    int32_t port = 13;
    int32_t timeout = 10;
    if (argc > 4 || (argc > 2 && !parse_number(argv[2], 1, 65535, &port)) ||
        (argc > 3 && !parse_number(argv[3], 0, 86400, &timeout))) {
        fputs("usage: query_time [--ca FILE] [HOST[,HOST...] [PORT [TIMEOUT]]]\n", stderr);
        return 2;
    }
    if (ca != NULL) {
        /* For every NTS server this process asks from now on. */
        BSTR path = text_from(ca);
        const int32_t read = SETNTSCAFILE(path);
        SysFreeString(path);
        if (!read) {
            fprintf(stderr, "query_time: the CA file %s cannot be read\n", ca);
            return 2;
        }
    }
    if (strchr(host, ',') != NULL)
        return ask_servers(host, port, timeout);

    /* The caller owns every argument. server is in and out: it comes back
     * cleaned of leading spaces and of any note after a space or "(". message
     * receives the server's answer, or the reason the query failed. */
    BSTR server = text_from(host);
    BSTR message = NULL;
    double delay = 0;
    SYSTEMTIME utc;
    memset(&utc, 0, sizeof utc);
    const int32_t ok = CHECKATOMICTIME(&server, &port, timeout, &delay, &utc, &message);

    print_text("server:     ", server);
    if (!ok) {
        print_text("failed:     ", message);
        SysFreeString(server);
        SysFreeString(message);
        return 1;
    }
    printf("UTC:        %04u-%02u-%02u %02u:%02u:%02u.%03u\n", (unsigned)utc.wYear,
           (unsigned)utc.wMonth, (unsigned)utc.wDay, (unsigned)utc.wHour, (unsigned)utc.wMinute,
           (unsigned)utc.wSecond, (unsigned)utc.wMilliseconds);
    printf("delay:      %.0f ms (half the exchange, already added to the time)\n", delay);
    print_text("answer:     ", message);

    /* This PC's own clock as a Daytime line in the NIST layout. An advance of
     * 0 is replaced by 50 ms (written back into advance). */
    int32_t leap = 0;
    double advance = 0;
    BSTR pcLine = STTONISTTIME(&leap, &advance);
    print_text("PC as NIST: ", pcLine);

    /* The difference as Tickwell words it: this PC's local time against the
     * server's time in local time. DIFFERENCETEXT overwrites its second
     * argument with the difference, and sets match to 1 (never to 0) when
     * both agree to the second. */
    SYSTEMTIME serverLocal, pcLocal;
    CONVERTTOLOCALTIME(&utc, &serverLocal);
    GetLocalTime(&pcLocal);
    int32_t match = 0;
    BSTR difference = DIFFERENCETEXT(&pcLocal, &serverLocal, &match);
    print_text("difference: ", difference);
    printf("matches:    %s\n", match ? "yes" : "no");

    /* Returned texts and the texts written back belong to the caller. */
    SysFreeString(difference);
    SysFreeString(pcLine);
    SysFreeString(message);
    SysFreeString(server);
    return 0;
}
