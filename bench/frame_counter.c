/* Counts the frames a program presents on an X display, from outside it.
 *
 * Under Wine on Xvfb a SwapBuffers ends as one image request (Mesa's software
 * swap: XShmPutImage or XPutImage of the whole back buffer into the window).
 * The X Damage extension reports every drawing request that changes pixels;
 * a raw-rectangle damage object on the root window reports the drawing into
 * every window on the screen, as screen-sharing servers watch a display. One
 * request's region arrives as a run of events, all but the last flagged
 * `more`, so a run is one request. A run that covers at least a given share
 * of the screen is a presented frame; smaller ones (the software cursor,
 * other clients' small windows) are logged apart and not counted.
 *
 * A frame whose pixels equal the last one still counts: the server reports
 * the request, not the change, which is what "presented" means here.
 *
 * Usage: frame_counter <log-file> [min-share-percent]
 * Runs until SIGTERM or SIGINT. The log, written when it stops:
 *   screen <width> <height>
 *   f <realtime ns> <server ms> <pixels>   one line per presented frame
 *   s <realtime ns> <server ms> <pixels>   one line per smaller request
 *   frames <n>
 *   small <n>
 *   end
 * Realtime nanoseconds are the receive time (what `date +%s%N` reads), so a
 * script can count the frames inside an interval it timed itself; the
 * server's millisecond stamps give the spacing of the requests without the
 * client's receive delays.
 */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>

static volatile sig_atomic_t stopRequested = 0;

static void requestStop(int signalNumber) {
  (void)signalNumber;
  stopRequested = 1;
}

/* One damage run as it builds up, and the counts so far. */
struct Tally {
  unsigned long long runPixels; /* pixels of the run's rectangles; they never overlap */
  unsigned long frames;
  unsigned long small;
  unsigned long long minFramePixels;
};

/* Lines are kept in memory while counting, so the counter writes no file
 * while the measured program runs: a few hundred frames a second for a
 * minute stay far below a megabyte. */
struct Log {
  char* text;
  size_t length;
  size_t capacity;
};

static int appendLine(struct Log* log, char kind, long long realtimeNs, unsigned long serverMs,
                      unsigned long long pixels) {
  if (log->capacity - log->length < 96) {
    size_t capacity = log->capacity != 0 ? log->capacity * 2 : 1 << 20;
    char* text = realloc(log->text, capacity);
    if (text == NULL) return 0;
    log->text = text;
    log->capacity = capacity;
  }
  int written = snprintf(log->text + log->length, log->capacity - log->length, "%c %lld %lu %llu\n",
                         kind, realtimeNs, serverMs, pixels);
  if (written > 0) log->length += (size_t)written;
  return 1;
}

static long long realtimeNanoseconds(void) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

/* Adds one damage event to the current run; at the run's last event, files
 * the run as a frame or as a small request. */
static int takeDamage(const XDamageNotifyEvent* event, struct Tally* tally, struct Log* log) {
  tally->runPixels += (unsigned long long)event->area.width * event->area.height;
  if (event->more) return 1;
  int isFrame = tally->runPixels >= tally->minFramePixels;
  if (isFrame) {
    ++tally->frames;
  } else {
    ++tally->small;
  }
  int ok = appendLine(log, isFrame ? 'f' : 's', realtimeNanoseconds(),
                      (unsigned long)event->timestamp, tally->runPixels);
  tally->runPixels = 0;
  return ok;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s <log-file> [min-share-percent]\n", argv[0]);
    return 2;
  }
  double minSharePercent = argc > 2 ? atof(argv[2]) : 50.0;
  if (minSharePercent <= 0.0 || minSharePercent > 100.0) {
    fprintf(stderr, "frame_counter: the share must be in (0, 100]\n");
    return 2;
  }

  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "frame_counter: cannot open the display\n");
    return 1;
  }
  int eventBase = 0, errorBase = 0;
  if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
    fprintf(stderr, "frame_counter: the display has no Damage extension\n");
    return 1;
  }
  Window root = DefaultRootWindow(display);
  int screen = DefaultScreen(display);
  unsigned long long width = (unsigned long long)DisplayWidth(display, screen);
  unsigned long long height = (unsigned long long)DisplayHeight(display, screen);

  struct Tally tally;
  memset(&tally, 0, sizeof tally);
  tally.minFramePixels = (unsigned long long)((double)(width * height) * minSharePercent / 100.0);
  if (tally.minFramePixels == 0) tally.minFramePixels = 1;
  struct Log log = {NULL, 0, 0};

  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = requestStop;
  sigaction(SIGTERM, &action, NULL);
  sigaction(SIGINT, &action, NULL);

  XDamageCreate(display, root, XDamageReportRawRectangles);
  /* A new damage object reports its whole drawable once; that is no frame.
   * After the round trip the report is in the queue, and it goes. */
  XSync(display, False);
  while (XPending(display) > 0) {
    XEvent event;
    XNextEvent(display, &event);
  }

  /* The file is opened first, so a path that cannot be written fails at
   * once rather than after the run. */
  FILE* output = fopen(argv[1], "w");
  if (output == NULL) {
    fprintf(stderr, "frame_counter: cannot write %s: %s\n", argv[1], strerror(errno));
    return 1;
  }
  /* A ready line, so a script knows the damage object is in place before
   * it starts the program it measures. */
  fprintf(output, "screen %llu %llu\n", width, height);
  fflush(output);

  struct pollfd connection = {ConnectionNumber(display), POLLIN, 0};
  int ok = 1;
  while (!stopRequested && ok) {
    while (ok && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == eventBase + XDamageNotify) {
        ok = takeDamage((const XDamageNotifyEvent*)&event, &tally, &log);
      }
    }
    /* Wakes at least every 100 ms to see a stop request. */
    if (poll(&connection, 1, 100) < 0 && errno != EINTR) break;
  }

  if (log.length > 0) fwrite(log.text, 1, log.length, output);
  fprintf(output, "frames %lu\nsmall %lu\n", tally.frames, tally.small);
  if (!ok) fprintf(output, "error out of memory\n");
  fprintf(output, "end\n");
  fclose(output);
  free(log.text);
  XCloseDisplay(display);
  return ok ? 0 : 1;
}
