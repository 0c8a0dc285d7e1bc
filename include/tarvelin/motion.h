/*
 * Tarvelin motion engine: the interface a rig's control program (the host) calls.
 *
 * The library finds the running game, reads its telemetry, turns it into 23 motion cues
 * through two filter profiles (AIR and GROUND) and publishes them to the rig. Behind every
 * function stands one process-wide engine, built by the first call of any engine function
 * (thread-safe) and kept until the process ends.
 *
 * Conventions
 *  - Every function has C linkage and an unmangled name.
 *  - "bool" is one byte (0 or 1); "int" is 32-bit signed.
 *  - Arrays are handed out as pointers into engine memory plus a count. They stay valid for
 *    the life of the process; their contents change every engine cycle (500 times a second).
 *  - No function writes through a null pointer: a null out-parameter receives nothing, a null
 *    buffer is left alone, and a null input is refused as the function describes.
 *  - Profile arguments are 0 for AIR and 1 for GROUND. Setters that take an index ignore an
 *    index out of range (a negative one included) without any report.
 *  - Thread safety: unless a function says otherwise, it may be called from any host thread at
 *    any time, also while the engine's threads run. Numeric settings are plain values that the
 *    engine thread reads without a lock, so a pair of limits may be seen half updated for one
 *    cycle (its two ends are then taken in order, never inverted).
 *  - Nothing that is not finite reaches the rig, the rig pose block or the fan: settings that
 *    are not finite are refused, and a cue that a filter drives beyond the double range keeps
 *    its last finite value.
 */
#ifndef TARVELIN_MOTION_H
#define TARVELIN_MOTION_H

#ifdef __cplusplus
#include <cstdint>
#else
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#endif

#if defined(_WIN32)
#if defined(TARVELIN_BUILDING)
#define TARVELIN_API __declspec(dllexport)
#else
#define TARVELIN_API __declspec(dllimport)
#endif
#else
#define TARVELIN_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Number of rig slots: 0..5 the motion axes (lateral, longitudinal, vertical, yaw, roll,
 * pitch), 10 the belt, 21 the wind; the others carry effects. */
#define TARVELIN_RIG_SLOTS 23
/* Number of telemetry channels: 0 is always 0.0, 1..41 are named, 42 is the belt sum. */
#define TARVELIN_CHANNELS 43
/* Length of a motion frame for the rig controller. */
#define TARVELIN_RIG_FRAME_BYTES 36

/* One calculation record: a double per rig slot, in slot order (184 bytes). */
typedef struct CalculationSnapshot {
    double values[TARVELIN_RIG_SLOTS];
} CalculationSnapshot;

/* One telemetry record: a copy of the 43 channels, in index order (344 bytes). */
typedef struct AccelerationSnapshot {
    double channels[TARVELIN_CHANNELS];
} AccelerationSnapshot;

/* ---------------------------------------------------------------------------------------
 * Running the engine
 * ------------------------------------------------------------------------------------- */

/* Starts the engine's thread, which searches for a running game, connects to it and then runs
 * the frame cycle 500 times a second. Nothing happens when it already runs. Telemetry is read
 * only after setMotionsystemready(1); motion frames reach the rig only while the rig link runs
 * (startMMFtoSerial_Thread). */
TARVELIN_API void startGamesource_Thread(void);

/* Stops the engine's thread and returns once it has ended (within one cycle, or one game
 * search of up to about a second). When a park duration is set (setParkDuration) and the engine
 * was moving the rig, the thread first parks the rig, and this returns once the rig is parked.
 * Without a running thread it does nothing. The engine keeps its settings;
 * startGamesource_Thread starts it again, searching afresh.
 * Starts and stops from several host threads at once take turns: a start that comes while a
 * stop waits for the thread (or its park) waits too and then starts afresh, and every stop
 * returns only once the thread it found has ended. The last call decides the state. */
TARVELIN_API void stopGamesource_Thread(void);

/* 1: the rig is ready to move, and the engine reads telemetry; 0: it is not, and a connected
 * engine stops reading (and publishing) but stays connected; a park under way ends where the rig
 * stands. A change restarts the soft start from the cues as they stand: the cues blend from
 * there to the live ones over 4 seconds of cycles, however long the rig was not ready. Any other
 * value, or the present state, changes nothing. */
TARVELIN_API void setMotionsystemready(int ready);

/* ---------------------------------------------------------------------------------------
 * Game
 * ------------------------------------------------------------------------------------- */

/* The game or simulator the engine found, or -1 while it is searching:
 *   0 X-Plane, 1 DCS, 2 Flight Simulator 2020, 3 Assetto Corsa / Competizione, 4 RaceRoom,
 *   5 DiRT Rally 2, 6 Condor 2, 7 F1 23 / F1 24, 8 NoLimits 2, 9 Project CARS 2 / Automobilista 2,
 *   10 iRacing, 11 WRC 23, 12 BeamNG, 13 Live for Speed, 14 rFactor 2,
 *   15 Flight Simulator 2024, 16 Assetto Corsa EVO, 17 Euro Truck Simulator 2.
 * A call that falls just between two games may report -1 for that moment. */
TARVELIN_API int getGameID(void);

/* Writes the name of the game getGameID reports, NUL-terminated ASCII, into buffer, or
 * "No Game online" while searching. Writes at most 21 bytes: the buffer must hold that many.
 * A null buffer is left alone. */
TARVELIN_API void getGameName(char* buffer);

/* ---------------------------------------------------------------------------------------
 * Telemetry record
 * ------------------------------------------------------------------------------------- */

/* Returns 44 (one more than the channels that getGameData reports; hosts rely on it). */
TARVELIN_API int getGameDataCount(void);

/* Stores the address of the 43 telemetry channels in *data and 43 in *count.
 * Channel i (1..41) is named by entry i-1 of getGameDataNames. A null pointer receives
 * nothing; the other one is still written. */
TARVELIN_API void getGameData(double** data, int* count);

/* Stores the address of the constant table of channel names in *names and 43 in *count.
 * Entries 0..40 name channels 1..41 ("lateral_speed" .. "simtools_axis4b"); entries 41 and 42
 * are null. The strings live as long as the process. A null pointer receives nothing. */
TARVELIN_API void getGameDataNames(const char* const** names, int* count);

/* kind 0: the AIR profile's per-slot results, 1: the GROUND profile's, 2: the combined cues,
 * 3: the cues as frozen by the last freeze. Stores the array's address in *data and 23 in
 * *count; a null pointer receives nothing. Any other kind leaves both untouched. */
TARVELIN_API void getMotionCueData(int kind, double** data, int* count);

/* The interval, in milliseconds, that the active game's reader measured between its last two
 * reads; 0.0 before a game was read. What that is depends on the game. A reader that drains its
 * socket on every engine cycle, whether or not a frame came (BeamNG and the other network
 * games), or that reports a frame on every call (iRacing, Flight Simulator), restarts its timer
 * on every call: for those games this is the interval between calls, about 2 ms, not the
 * game's frame interval. A host that wants the game's own rate counts the telemetry records in
 * which a channel changed (the host console shows it so). Any thread. */
TARVELIN_API double getGameTimeFrame(void);

/* Duration of the engine's last frame cycle, in milliseconds (nominally 2.0). */
TARVELIN_API double getMotionDataTimeFrame(void);

/* Chooses how the engine cycle is paced: nonzero busy-waits the last part of every 2 ms
 * period (exact, costs a core), 0 sleeps (cheaper, carries drift over to the next period).
 * Takes effect from the next cycle. */
TARVELIN_API void setTimerPrecision(int mode);

/* Chooses between the engine's two modes; returns 1, or 0 for a value other than 0 and 1 (the
 * mode stays). It takes effect from the next cycle, also while the engine runs, and the engine
 * keeps it across stops and starts. Any thread, at any time.
 *
 * 0, the paced mode (the default): the cycle runs on the clock, every 2 ms, and reads whatever
 * the game has published meanwhile; the rig link sends each frame on its own next 2 ms pass. A
 * game's frame thus waits for up to a cycle and the motion frame for up to a pass before it
 * goes on the wire (which itself takes 1.44 ms for a frame at 250000 baud).
 *
 * 1, the low-latency mode: for the games whose telemetry arrives over the network (X-Plane,
 * DCS, DiRT Rally 2, Condor 2, F1, NoLimits 2, WRC 23, BeamNG, Live for Speed) the cycle waits
 * on the game's socket and starts as soon as a frame arrives; a game that stays silent still
 * gets a cycle every 2 ms. The engine still runs 500 cycles a second, one per 2 ms slot, and
 * never two within 1 ms, so the filters, the soft start, the rate limits and the times after
 * which frozen telemetry freezes the cues and a silent game is given up mean what they mean in
 * the paced mode. The rig link (startMMFtoSerial_Thread) sends each frame the moment the cycle
 * has queued it; the rest of its work keeps its 2 ms passes. Neither thread spins while it
 * waits, so the mode also costs far less processor time. Games read from shared memory or
 * through SimConnect publish without telling anyone: their cycle keeps the paced timing, and
 * only the link's immediate sending applies. setTimerPrecision applies to paced cycles only.
 * The UDP transport of the rig link sends on its own 2 ms passes in either mode. */
TARVELIN_API int setLowLatency(int on);

/* The mode in use: 0 paced; 1 low-latency, the cycle following the game's frames; 2
 * low-latency chosen, but the cycle keeps the paced timing (no game connected yet, the rig not
 * ready, or a game read from shared memory or through SimConnect). Any thread. */
TARVELIN_API int getLowLatency(void);

/* ---------------------------------------------------------------------------------------
 * Limits
 * ------------------------------------------------------------------------------------- */

/* Clamp of rig slot `slot` (0..22) in the motion frame sent to the rig; the six motion axes
 * (slots 0..5) use it. Default (0, 0), which holds every axis at 0. A pair with an end that is
 * not finite, or with low above high, is refused and the previous pair stays. */
TARVELIN_API void SetRigDofLimitValue(int slot, double low, double high);

/* Clamp of the telemetry input of slots 0..7 before their filter chains. Slots 8 and 9 always
 * store (-360, 360) whatever is passed; other slots are ignored. A pair with an end that is not
 * finite, or with low above high, is refused and the previous pair stays. */
TARVELIN_API void SetInputDofLimitValue(int slot, double low, double high);

/* ---------------------------------------------------------------------------------------
 * Rig safety: both off until the host sets them, so that the rig of a host that never calls
 * them behaves as it always did.
 * ------------------------------------------------------------------------------------- */

/* The most motion axis `axis` (0..5: lateral, longitudinal, vertical, yaw, roll, pitch) may
 * change in the motion frame, in the frame's units (those of the rig limits) per second. It is
 * applied last, after the rig limits, to every frame: the live cues, the soft start and the park
 * alike, so that no spike in the telemetry, crash or change of settings moves the axis faster.
 * Each 2 ms cycle moves the axis by at most a 500th of the limit. The rig link holds every
 * motion frame it sends to the same step from the last one it sent, so that after frames it
 * could not deliver (the link stopped, paused or looking for its board) the rig catches up at
 * this rate instead of jumping. 0, the default, means no limit.
 * Returns 1 when stored; 0, keeping the previous limit, for an axis out of range or a value
 * that is negative or not finite. */
TARVELIN_API int SetRigDofRateLimit(int axis, double unitsPerSecond);

/* The park: when the engine gives up a lost game (after its 1000 failed reads) and when
 * stopGamesource_Thread stops a thread that is moving the rig (connected, ready and publishing),
 * the rig is brought back to neutral (every motion axis 0 within its rig limits, belt 0, fan 0)
 * along a smooth ramp of `milliseconds`, instead of being left in its last pose. The rate limits
 * apply to the ramp too; should they hold an axis back, the park goes on until it is at neutral,
 * for at most 10 s more. Cycles of the park are recorded as snapshots like any other. The next
 * game soft-starts from neutral as usual. 0, the default, leaves the rig where the last frame put
 * it. Setting 0 while a park runs ends it at once with the rig where it stands (so does
 * setMotionsystemready(0)). Returns 1 when stored; 0, keeping the previous duration, for a value
 * that is negative, above 60000 or not finite. */
TARVELIN_API int setParkDuration(double milliseconds);

/* ---------------------------------------------------------------------------------------
 * Motion profiles
 *
 * Each profile (0 AIR, 1 GROUND) holds per rig slot an active flag and a filter chain that
 * turns the slot's telemetry input into its motion value. A chain is written as a filter
 * string: "VALUE" is the input, and a filter applies to the string written first in its
 * parentheses, its parameters following after ';', e.g. GAIN(EMALP(CROP(VALUE;-10;10);20);0.5).
 * Filter names are case-insensitive; numbers are decimal ('.' or ',' as decimal mark, no
 * exponent) or hexadecimal ("0x1F", "-0x10"); text after the last ')' is ignored.
 * A filter string holds at most TARVELIN_FILTER_STRING_MAX bytes (before its terminating zero,
 * trailing text included) and its chain at most TARVELIN_CHAIN_FILTERS_MAX filters around
 * VALUE; real chains are some 50 bytes and up to six filters. Longer strings and chains are
 * rejected before anything is built, by setcheckFilterstring and explainFilterstring alike.
 * Until a string has been installed for a slot, the slot yields 0.0.
 * ------------------------------------------------------------------------------------- */

#define TARVELIN_FILTER_STRING_MAX 1024
#define TARVELIN_CHAIN_FILTERS_MAX 32

/* Parses `filter` (a zero-terminated byte string) and installs it on rig slot `slot` (0..22)
 * of profile `profile` (0 AIR, 1 GROUND). Returns 1 when the string was valid and installed;
 * returns 0 for an invalid string (or null, or one beyond the size limits above), another
 * profile or slot, and then leaves the slot's chain as it was. Every call freezes the cues
 * (the soft start begins again) and holds the publishing of motion frames; a successful call
 * releases the hold, a failed one leaves it until the next successful call or the next game
 * connection. The new chain's filters start from zero. May be called while the engine runs:
 * the engine finishes the cycle in progress on the previous chain. */
TARVELIN_API int setcheckFilterstring(int profile, int slot, const char* filter);

/* Why explainFilterstring rejects a filter string (or what it ignores in an accepted one). */
#define TARVELIN_FILTER_FINE 0              /* accepted, nothing to remark */
#define TARVELIN_FILTER_EMPTY 1             /* no string, or no inner string where one belongs */
#define TARVELIN_FILTER_UNKNOWN_NAME 2      /* a name that is no filter */
#define TARVELIN_FILTER_PARAMETER_COUNT 3   /* too few or too many parameters */
#define TARVELIN_FILTER_NOT_A_NUMBER 4      /* a parameter that is not a number */
#define TARVELIN_FILTER_PARENTHESES 5       /* parentheses that do not pair up, or are missing */
#define TARVELIN_FILTER_UNEXPECTED_TEXT 6   /* text beside VALUE, white space around it included */
#define TARVELIN_FILTER_PARAMETER_RANGE 7   /* a number the filter refuses (EMA period below 1) */
#define TARVELIN_FILTER_IGNORED_TEXT 8      /* accepted; text after a closing ')' is ignored */
#define TARVELIN_FILTER_TOO_LONG 9          /* longer than TARVELIN_FILTER_STRING_MAX bytes */
#define TARVELIN_FILTER_TOO_MANY_FILTERS 10 /* more than TARVELIN_CHAIN_FILTERS_MAX filters */

/* Reads `filter` (a zero-terminated byte string; null reads as empty) exactly as
 * setcheckFilterstring does and tells why it would be rejected, and where. Returns 1 when
 * setcheckFilterstring would accept the string, 0 when it would reject it. Each out-parameter
 * may be null: *fault receives one of the TARVELIN_FILTER_ reasons (FINE or IGNORED_TEXT when
 * the string is accepted); *position the byte offset into `filter` where the fault begins, -1
 * when there is nothing to remark; `message` a short English sentence for people, cut to
 * messageSize - 1 bytes and zero-terminated (empty when there is nothing to remark; 160 bytes
 * hold every message). Installs nothing, holds nothing, does not start the engine; any
 * thread, any time. */
TARVELIN_API int explainFilterstring(const char* filter, int* fault, int* position, char* message, int messageSize);

/* Switches rig slot `slot` (0..22) of profile `profile` (0 AIR, 1 GROUND) on or off; an
 * inactive slot yields 0.0 and its filters keep their state. Every call, also one with an
 * index out of range, freezes the cues (the soft start begins again). */
TARVELIN_API void setActiveAxis(int profile, int slot, bool active);

/* Sets the belt-mix weight of channel `channel` (0..42) in profile `profile` (0 AIR,
 * 1 GROUND). The belt slot uses the AIR profile's weights 1, 2, 4 and 5. A weight that is not
 * finite is refused and the previous one stays. */
TARVELIN_API void setBelt_Mix(int profile, int channel, double weight);

/* ---------------------------------------------------------------------------------------
 * Motion output and profile status
 * ------------------------------------------------------------------------------------- */

/* Copies the last 36-byte motion frame built for the rig into buffer (nothing when null). */
TARVELIN_API void getOutputData(unsigned char* buffer);

/* Progress of the soft start after a freeze, in percent (100 when settled). */
TARVELIN_API double getTransitionStatus(void);

/* Weight of the AIR profile in the current cues, in percent. */
TARVELIN_API double getProfilAirTransitionStatus(void);

/* Weight of the GROUND profile in the current cues, in percent. */
TARVELIN_API double getProfilGrdTransitionStatus(void);

/* The selected profile: 0 AIR, 1 GROUND. */
TARVELIN_API int getactiveProfil(void);

/* Motion cancelling for VR headsets: while on, every published cycle writes the six motion cues
 * (lateral, longitudinal, vertical, yaw, roll, pitch), times the gain and low-passed, as six
 * little-endian doubles at the start of the 512-byte shared-memory block "Local\motionRigPose"
 * (on Linux /dev/shm/motionRigPose). Switching on opens the block and resets the filter to 60;
 * switching off stops the writing. The engine opens the block when its thread starts, and keeps
 * that one block until the process ends, so a program that mapped it once keeps reading the
 * live pose across lost games, restarts of the thread and motion cancelling switched off and on. */
TARVELIN_API void activateMotionCancel(bool on);

/* The low-pass divisor of motion cancelling, in cycles (1 passes the cues unfiltered, 60 is the
 * default). Ignored while motion cancelling is off. A value below 1 (where the low-pass
 * overshoots or diverges) or not finite is refused and the previous filter stays. */
TARVELIN_API void setFilterMotionCancel(double value);

/* The gain of motion cancelling (default 1). Ignored while motion cancelling is off. A value
 * that is not finite or whose magnitude is above 100 is refused and the previous gain stays. */
TARVELIN_API void setGainMotionCancel(double value);

/* ---------------------------------------------------------------------------------------
 * Snapshots: every engine cycle records its 23 rig-slot values and its 43 telemetry channels;
 * the last 150 of each are kept (300 ms), so a host that polls at least every 250 ms loses
 * nothing.
 * ------------------------------------------------------------------------------------- */

/* Takes every calculation record gathered since the last call, oldest first: a block of *count
 * records that the caller frees with FreeCalculationSnapshots, or null when *count is 0 (a null
 * count receives nothing, and the records are taken all the same). Entry
 * j of a record is the combined cue of slot j, except for slots 11..20 (belt components and
 * effects), which carry the AIR profile's output. */
TARVELIN_API CalculationSnapshot* GetCalculationSnapshots(int* count);

/* The same for the telemetry records (a copy of the 43 channels per cycle). */
TARVELIN_API AccelerationSnapshot* GetAccelerationSnapshots(int* count);

/* Frees a block from either Get...Snapshots function; null is accepted. Does not start the
 * engine. */
TARVELIN_API void FreeCalculationSnapshots(void* block);

/* The same function under a second name. */
TARVELIN_API void FreeAccelerationSnapshots(void* block);

/* The address of the latest calculation record (23 doubles) inside the engine, overwritten
 * every cycle without a lock: entries may come from two consecutive cycles. Do not free it. */
TARVELIN_API const double* GetPositionSnapshot(void);

/* ---------------------------------------------------------------------------------------
 * Rig controller link
 *
 * The rig controller is a microcontroller board on a USB serial port (250000 baud, 8N1). The
 * bridge loop finds and identifies it, writes the messages the host and the engine queue, and
 * keeps the frames it sends for readMessagemmf. Messages and frames are whole rig frames: two
 * equal lead bytes, the content, and two trailing bytes. Messages handed in end in two
 * placeholder bytes (0A 0D by convention) that the link replaces by the frame's check field;
 * frames handed out end in 0A 0D. Queues hold at most 150 messages each; beyond that messages
 * are dropped, so a link that does not drain costs its callers nothing: a message to send is
 * refused, and a frame received while 150 wait unread pushes out the oldest of them.
 *
 * The controller's frames are cut from its byte stream by their lead bytes and length. A frame
 * that has begun but whose bytes stop coming (they do not follow at the line's rate, within
 * 100 ms) is given up, and so is a length field claiming more than a frame can usefully hold
 * (an FE frame beyond 4096 bytes, an FA fragment frame beyond 514): the frames behind such a
 * start are then read as they are, not held back until enough bytes have come to fill it.
 *
 * Unless said otherwise every function returns at once and may be called from any thread at
 * any time, also while the loop runs.
 * ------------------------------------------------------------------------------------- */

/* Runs the bridge loop on the calling thread: returns 1 only after stopMMFtoSerial_Thread.
 * Raises the calling thread to time-critical priority. While a loop already runs on another
 * thread, returns 1 at once. Unloading the library while the loop runs first ends the loop as
 * stopMMFtoSerial_Thread would and waits for it (as long as a stop may take), so that this call
 * returns 1 on its thread before the library's code is gone; a process that exits with the loop
 * running ends cleanly too. A host should still stop the loop and join its thread before it
 * unloads the library. */
TARVELIN_API int startMMFtoSerial_Thread(void);

/* Ends the bridge loop and the UDP threads and returns once they have ended: within about one
 * loop pass (at most about 100 ms for the UDP threads). Every wait of the link ends with it: a
 * scan for the controller, a paused loop, and resumeInterface on another thread. When no loop
 * runs, it waits 250 ms for one that another host thread is just starting (a thread made to
 * call startMMFtoSerial_Thread right before this call) and ends that one too; a start after
 * this call has returned runs as usual. */
TARVELIN_API void stopMMFtoSerial_Thread(void);

/* Queues `length` bytes for the rig controller. 1 queued; -1 refused (no loop or UDP thread
 * runs, length 0 or negative, data null, or the queue of the live transport full). Never
 * blocks; the engine calls it every cycle. */
TARVELIN_API int sendMessagemmf(const uint8_t* data, int length);

/* Sets the message repeated on every loop pass until a newer one arrives or it has gone out
 * 11 or 12 times. The message is the bytes up to and including the first 0A 0D among the first
 * 4096; it goes out as it stands. 1 queued; 0 refused (no loop or UDP thread runs, no 0A 0D,
 * or 150 waiting). */
TARVELIN_API int autoMessagemmf(const uint8_t* data);

/* Takes the oldest frame received from the controller on the live transport into buffer (at
 * least 4096 bytes): the bytes up to and including its first 0A 0D. Returns their count, 0 when
 * there is none (or the frame holds no 0A 0D; it is removed all the same), or when buffer is
 * null (the frame then stays queued). No frame is longer than 4096 bytes: a message rebuilt
 * from fragments that would be longer is dropped when it is put together. */
TARVELIN_API int readMessagemmf(uint8_t* buffer);

/* 1 when readMessagemmf has a frame to give, else 0. */
TARVELIN_API int newMessagemmf(void);

/* 1 while the controller is connected (identified on serial, or a UDP thread runs) and the
 * loop or a UDP thread runs, else 0. */
TARVELIN_API int isConnected(void);

/* 1 while the interface is enabled (not paused), else 0. */
TARVELIN_API int isInterfaceRunning(void);

/* Pauses the interface: closes the rig port; the loop idles until resumeInterface. Returns 1.
 * Waits at most for a port call of the loop that is under way. */
TARVELIN_API int pauseInterface(void);

/* Enables the interface again. With auto-connect on returns 1 at once and the loop scans;
 * otherwise identifies the controller on the standard port, up to three tries 500 ms apart:
 * 1 connected, 0 failed. May take about 1.5 s plus the identification time-outs (10 s each);
 * stopMMFtoSerial_Thread on another thread ends it within milliseconds, with 0. */
TARVELIN_API int resumeInterface(void);

/* Lets the loop scan every COM port for the controller while it is not connected. Returns 1.
 * Only ports on a supported USB serial chip are ever written to. */
TARVELIN_API int enableAutoconnect(void);

/* Stops the scanning. Returns 1. */
TARVELIN_API int disableAutoconnect(void);

/* Sets the standard port from a name containing "COM" followed by its number ("COM7"; "COM"
 * alone means 0). 1 stored; 0, keeping the old number, when the name holds no "COM". */
TARVELIN_API int setStandartPort(const char* name);

/* Whether connecting on the standard port first checks that the port is on a supported USB
 * serial chip (CH340, FT232R, CP210x, SAM3X, STM32 virtual port). On by default. Turn it off
 * for boards with native USB or other chips, and for virtual ports; the identification
 * exchange still decides whether a rig controller answers. Scanning always checks the chip.
 * Returns 1. */
TARVELIN_API int setUsbChipCheck(int on);

/* Duration of the bridge loop's last pass in milliseconds (nominally 2.0). */
TARVELIN_API double getOutputTimeFrame(void);

/* ---------------------------------------------------------------------------------------
 * Rig controller link over the network
 *
 * A rig controller on the local network takes its messages as UDP datagrams sent to a
 * multicast group (default 232.11.12.14, port 51324) from the machine's preferred wired
 * Ethernet adapter, and answers with datagrams to the listening port (default 53241). The link
 * uses whichever side the controller answers on: while it answers on the serial line, the UDP
 * threads stand aside; while it answers over UDP (a good frame at least every 8 s), the bridge
 * loop idles, sendMessagemmf queues for UDP and readMessagemmf reads the controller's datagrams.
 * While neither has answered, messages go out both ways. 8 s of silence discards the messages
 * waiting for the controller.
 *
 * Both threads end with stopMMFtoSerial_Thread, which returns once they have. Each reports
 * what it does to the error log ("[INFO] [" and "[ERROR] [" lines in errorlog.txt of the
 * folder "tarvelin" in the roaming application data; on Linux $XDG_DATA_HOME or ~/.local/share).
 * All four functions may be called from any thread at any time.
 * ------------------------------------------------------------------------------------- */

/* Sets the port the listening thread opens when it next starts (default 53241); a thread that
 * already runs keeps its port. Logs the port. */
TARVELIN_API void setUDPport(uint16_t port);

/* Starts the listening thread and returns at once. It accepts the frames of one controller at a
 * time: the first sender of a good frame, until it has been silent for 8 s. A port that cannot
 * be opened is logged and the thread hears nothing. While a listening thread runs, another
 * call only logs that it does. Raises std::system_error (C++ hosts) when no thread can be made. */
TARVELIN_API void startUPDListenThread(void);

/* Sets the multicast group the sender thread uses when it next starts: a dotted-quad address
 * (four decimal numbers 0..255; a unicast address is taken too). Any other text, or null, sets
 * the default 232.11.12.14. Logs which address is in use. */
TARVELIN_API void setMulticastAddr(const char* address);

/* Starts the multicast sender thread and returns at once. It chooses the adapter to send from
 * (up, Ethernet, lowest metric) and ends, with the reason logged and the UDP threads asked to
 * end too, when there is none or its socket cannot be had. While a sender thread runs, another
 * call only logs that it does. Raises std::system_error (C++ hosts) when no thread can be made. */
TARVELIN_API void startUPDMulticastSenderThread(void);

/* ---------------------------------------------------------------------------------------
 * Wind controller
 * ------------------------------------------------------------------------------------- */

/* Sets up the engine's fan controller: port name such as L"COM4", line speed, mode of three
 * characters (data bits, parity N/E/O, stop bits: L"8N1"), and the pause between two bytes in
 * milliseconds, 1 to 1000. true when the port exists; the interval is stored even when it does
 * not. An interval outside 1..1000 is refused: false, and every setting stays as it was. The
 * engine opens the port and starts sending when the wind cue is active. */
TARVELIN_API bool initWindSerial(const wchar_t* port, int baud, const wchar_t* mode, unsigned intervalMs);

#ifdef __cplusplus
} /* extern "C" */
#endif

#ifdef __cplusplus
static_assert(sizeof(bool) == 1, "the interface passes bool as one byte");
static_assert(sizeof(CalculationSnapshot) == 184, "calculation records are 23 doubles");
static_assert(sizeof(AccelerationSnapshot) == 344, "telemetry records are 43 doubles");
#endif

#ifdef __cplusplus
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/* A fan controller on its own serial port: a thread of its own sends one speed byte per
 * interval. The engine holds one (see initWindSerial); a host may use instances of its own.
 *
 * init, updateBuffer, isInit and isRunning may be called from any thread; start, pause,
 * unpause and stop from one controlling thread at a time (for the engine's instance, the
 * engine's thread). */
class TARVELIN_API WindSerial {
public:
    WindSerial();
    /* Stops first. */
    ~WindSerial();
    WindSerial(const WindSerial&) = delete;
    WindSerial& operator=(const WindSerial&) = delete;

    /* Stores the settings: port name ("COM4"), line speed, mode ("8N1", "7E2": data bits,
     * parity N/E/O in either case, stop bits 1 or 2) and the pause after each byte, 1 to
     * 1000 ms. Returns true when the port exists; the interval is stored even when it does not.
     * Resets the count of failed starts. An interval outside 1..1000 ms is refused: false, and
     * every setting stays as it was. */
    bool init(const std::string& port, std::int32_t baud, const std::string& mode, std::uint32_t intervalMs);

    /* Opens and configures the port, sends one 0x00 and starts the sending thread. Does nothing
     * unless initialised and not running, and after three failed starts in a row (until init
     * or stop). */
    void start();

    /* Sends one 0x00, then keeps taking bytes from the buffer without writing them. */
    void pause();
    /* Writes the buffer's bytes again. */
    void unpause();

    /* Ends and joins the sending thread, sends one 0x00 (so the fan is left off), closes the
     * port. Returns promptly: the thread's pause between two bytes ends when stop is called.
     * Throws std::system_error when called from the sending thread itself. */
    void stop();

    bool isRunning() const;
    bool isInit() const;

    /* Replaces the bytes still to send, oldest first; one goes out per interval. */
    void updateBuffer(const std::vector<std::uint8_t>& bytes);

private:
    bool configurePort(std::int32_t baud, const std::string& mode);
    void sendingThreadFunc();

    void* portHandle;
    std::atomic<bool> running;
    std::atomic<bool> paused;
    std::atomic<bool> initialized;
    std::thread sendingThread;
    std::mutex bufferMutex;
    std::vector<std::uint8_t> sendBuffer;
    std::atomic<std::uint32_t> sendIntervalMs;
    std::string portName;
    std::int32_t baudRate;
    std::string lineMode;
    std::atomic<std::int32_t> failedStarts;
    /* Guards the port name, speed and mode: init runs on a host thread while the engine's
     * thread may be starting the port with them. */
    std::mutex settingsMutex;
    /* Ends the sending thread's pause when stop clears running (waited on with bufferMutex). */
    std::condition_variable stopRequested;
};
#endif

#endif /* TARVELIN_MOTION_H */
