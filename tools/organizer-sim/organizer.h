#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/port.h"

// A stand-in for the organizer-side memo server: it answers "dir", "get ",
// "getx ", "put " and "del " over any byte stream, keeps memos as the images
// "put " stored, and can misbehave on request so the client's failure paths
// can be exercised.
namespace tavo::sim {

enum class FaultKind {
  kSilence,
  kGarble,
  kOtherCase,
  kShortBlock,
  kHangUp,
  kFull,
  kDropReply,
  kBusy
};

// A fault hits the command with number at_exchange (commands count from 1).
//  kSilence    the command is ignored: no reply, no effect.
//  kGarble     the first reply line arrives with every byte's high bit flipped; a "put "
//              or "getx " ends there, other commands run on as usual.
//  kOtherCase  reply words come as "FOUND" and "Ok".
//  kShortBlock the block of a "get " or "getx " loses its last half (at least one byte).
//  kHangUp     no reply to this command or any later one; a pty is closed.
//  kFull       a "put " is refused with "full" after its length line.
//  kDropReply  the command takes effect but its last reply line is never sent.
//  kBusy       the command is answered with the one line "busy" and has no effect.
struct Fault {
  FaultKind kind;
  int at_exchange;
};

// Parses "silence", "garble", "case", "short", "hangup", "full", "drop", "busy" (with "@N").
std::optional<Fault> ParseFault(std::string_view text);

// A hostile organizer: every reply well formed line by line, but not what a
// sane server says. Parsed from a comma-separated list of
//  count=N   "dir" announces N names: those it holds, then made-up ones
//            ("ghost0", "ghost1", ...), or only the first N it holds
//  pace=S    "dir" sends each line after its count S seconds after the one
//            before (at least 0.001; the default when count is given)
//  get=WORD  every "get " is answered with the one line WORD
//  hide=NAME "dir" leaves out the memo NAME, which is there for every other
//            command (a lying or cut listing)
// The lines of such a "dir" are made one at a time as they fall due, so a
// count of 10^9 costs nothing until they are read; a new command ends them.
struct Hostility {
  std::optional<long long> dir_count;
  double line_seconds = 0;  // 0: "dir" is not paced
  std::string get_word;     // empty: "get " answers as usual
  std::string hidden;       // empty: "dir" lists every memo
};
std::optional<Hostility> ParseHostility(std::string_view text);
inline constexpr double kMinLineSeconds = 0.001;

// Longest memo name accepted, so that an escaped name always fits a file name.
inline constexpr std::size_t kMaxNameBytes = 80;
// Largest image "put " accepts: what the client can read back in one block.
inline constexpr std::size_t kMaxImageBytes = 16384;
// Size of the record header in front of every stored memo text.
inline constexpr std::size_t kHeaderBytes = 43;
// A half-done exchange whose client has been quiet this long is given up, so a
// client that abandoned a "put " does not have its next command eaten as data.
inline constexpr double kStaleExchangeSeconds = 13.0;

// The server as a byte-stream state machine. Replies end with a line feed only.
// "dir" lists names in ascending byte order, which is the order the store keeps
// them in; the listing is therefore the same before and after a restart.
// A missing memo is answered with "not found" (never read by the client).
class Organizer {
 public:
  // Empty: memory only. Otherwise memos live as files in that directory (created
  // if missing) and are loaded from it now.
  explicit Organizer(std::string store_dir = {});

  void Feed(std::string_view bytes_from_client);
  std::string TakeOutput();
  bool HungUp() const { return hung_up_; }
  // True while a "put " or "getx " waits for the client's next line or block.
  bool MidExchange() const { return state_ != State::kCommand; }
  // Forgets a half-done exchange (the client gave up on it).
  void AbandonExchange();
  // The server program started again after a fault: memos kept, the faults
  // and a hang-up over, any half-read line or exchange forgotten.
  void Restart();

  std::map<std::string, std::string> Memos() const { return memos_; }
  // Stored text without the record header and the final character 0.
  std::optional<std::string> Text(const std::string& name) const;
  // Every memo's text, as the file system checker reads them.
  std::map<std::string, std::string> Texts() const;
  // Stores text under name with the client's record header, as "put " would.
  void PutText(const std::string& name, const std::string& text);
  // Stores an image exactly as given.
  void PutImage(const std::string& name, const std::string& image);
  void Remove(const std::string& name);
  void SetCapacity(std::size_t bytes) { capacity_ = bytes; }
  std::size_t StoredBytes() const { return stored_bytes_; }
  void InjectFault(Fault f) { faults_.push_back(f); }
  void SetHostility(Hostility hostility) { hostility_ = std::move(hostility); }
  // While a paced "dir" is under way, the seconds from one of its lines to the next.
  std::optional<double> PacedInterval() const;
  // Puts the next line of the paced "dir" in the output.
  void SendPacedLine();
  int Exchanges() const { return exchanges_; }
  // Both directions, one line per unit: "> " client line or block, "< " reply line
  // or block, "! " a fault taking effect. Bytes outside printable ASCII (and the
  // backslash) appear as \xHH.
  const std::string& Transcript() const { return transcript_; }
  // Also hands every transcript line (with its line feed) to sink as it is made.
  void SetTranscriptSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

 private:
  enum class State { kCommand, kPutLength, kPutBlock, kGetxCount };

  void HandleLine(const std::string& line);
  void HandleCommand(const std::string& line);
  void StartExchange();
  bool FaultNow(FaultKind kind) const;
  void Dir();
  // What "dir" shows of the memos: all but the hidden one.
  std::vector<std::string> Listed() const;
  void Get(const std::string& name);
  void Getx(const std::string& name);
  void GetxCount(std::size_t count);
  void Put(const std::string& name);
  void PutLength(const std::string& line);
  void FinishPut();
  void Del(const std::string& name);

  void Reply(std::string line, bool last = false);
  void ReplyWord(const std::string& word, bool last = false);
  void ReplyBlock(std::string block);
  void Log(char mark, std::string_view bytes);

  bool Store(const std::string& name, std::string image);
  bool Erase(const std::string& name);
  void Load();

  std::string store_dir_;
  std::map<std::string, std::string> memos_;
  std::size_t stored_bytes_ = 0;
  std::size_t capacity_ = std::numeric_limits<std::size_t>::max();
  std::vector<Fault> faults_;
  Hostility hostility_;
  // The rest of a paced "dir": its names (held ones as they were), then "ok".
  std::vector<std::string> paced_names_;
  long long paced_left_ = 0;  // lines still to send, "ok" included
  long long paced_sent_ = 0;  // name lines sent

  State state_ = State::kCommand;
  std::string line_;
  bool line_overflow_ = false;
  std::string pending_name_;
  std::size_t pending_length_ = 0;
  std::string block_;

  int exchanges_ = 0;
  int replies_in_exchange_ = 0;
  bool hung_up_ = false;
  std::string output_;
  std::string transcript_;
  std::function<void(const std::string&)> sink_;
};

// Bytes outside printable ASCII, and the backslash, as \xHH: a memo name or
// a line fit for a transcript or a terminal.
std::string Escaped(std::string_view bytes);

// Store file name of a memo name: letters a-z, digits, "_" and "-" stay, every other
// byte (upper case letters included, so case-insensitive file systems keep
// "Fs0" and "fs0" apart) becomes "%HH"; ".memo" is appended.
std::string EncodeName(const std::string& name);
// The memo name of a store file name, or nothing unless EncodeName would give it.
std::optional<std::string> DecodeName(const std::string& file_name);

// A clock that only moves when told to; exact to the nanosecond.
class ManualClock : public link::Clock {
 public:
  double Now() override { return static_cast<double>(nanos_) / 1e9; }
  void Advance(double seconds);
  std::int64_t NowNanos() const { return nanos_; }
  void AdvanceTo(std::int64_t nanos) {
    if (nanos > nanos_) nanos_ = nanos;
  }

 private:
  std::int64_t nanos_ = 1'000'000'000'000;  // away from 0, like a clock of a running system
};

// An in-process port over an Organizer. Waits never block: WaitForInput(ms)
// moves the clock instead, up to the moment a reply byte arrives. With baud > 0
// each character takes 10/baud seconds of virtual time each way.
class SimPort : public link::Port {
 public:
  SimPort(Organizer& organizer, ManualClock& clock, int baud = 0);

  bool Open(const link::PortSettings& settings) override;
  // Input not yet read is lost with the port, as a device discards it on its last close.
  void Close() override;
  bool IsOpen() const override { return open_; }
  std::size_t BytesWaiting() override;
  std::string Read(std::size_t max_bytes) override;
  void Write(const std::string& bytes) override;
  std::size_t BytesToSend() override;
  bool WaitForInput(int timeout_ms) override;
  bool WaitForOutput(int timeout_ms) override;

  void SetOpenFails(bool fails) { open_fails_ = fails; }
  int Opens() const { return opens_; }
  const link::PortSettings& LastSettings() const { return settings_; }

 private:
  struct Timed {
    std::int64_t at;
    char byte;
  };
  // Hands due bytes to the organizer and queues its replies, and the lines of
  // a paced reply as they fall due.
  void Advance();
  // Queues the organizer's output as made at that moment.
  void Queue(std::int64_t made);
  // Times the next paced line `after` the line before it, or none.
  void SchedulePaced(std::int64_t after);
  std::deque<Timed>::const_iterator FirstNotDue() const;
  std::int64_t NextEvent() const;

  Organizer& organizer_;
  ManualClock& clock_;
  std::int64_t char_nanos_;
  bool open_ = false;
  bool open_fails_ = false;
  int opens_ = 0;
  link::PortSettings settings_;
  std::deque<Timed> to_organizer_;
  std::deque<Timed> to_client_;
  std::int64_t last_input_ = 0;
  std::int64_t paced_at_ = std::numeric_limits<std::int64_t>::max();  // next paced line
};

// Serves an Organizer on the master side of a pseudo-terminal, on its own thread.
// The Organizer belongs to the server from construction until Stop().
class PtyServer {
 public:
  // baud/10 characters per second each way; 0 unpaced. Throws std::runtime_error
  // when no pseudo-terminal can be had.
  PtyServer(Organizer& organizer, int baud);
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;
  ~PtyServer();

  std::string SlavePath() const { return slave_path_; }
  // Makes link_path a symbolic link to the slave, replacing an older link (but
  // never a regular file). The link is removed again by Stop().
  bool Link(const std::string& link_path);
  void Stop();

 private:
  void Run();
  void CloseFds();

  Organizer& organizer_;
  int baud_;
  int master_ = -1;
  int slave_keep_ = -1;  // held open so the master sees no hang-up between clients
  int wake_[2] = {-1, -1};
  std::string slave_path_;
  std::string link_path_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A small tree in the client's index format: directories (one nested, one with a
// blank in its name), text files (one of several parts) and plain memos.
void SeedDemo(Organizer& organizer);

}  // namespace tavo::sim
