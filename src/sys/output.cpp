#include "sys/output.h"

#include "sys/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Bytes of text gathered before each write: few large writes keep the run
// near the cost of a copy.
constexpr std::size_t output_buffer_size = 128 * 1024;

// How the text reaches the output when the run ends: it is there already
// (a new file, or one that is not regular, written as the run goes); a
// temporary file beside the output takes its name; a temporary file is
// copied into the output, which is then cut to the text's length; or a
// temporary file is copied to the standard stream that holds the output
// open, where the stream stands and in its append mode.
enum class ending { written, renamed, copied, appended };

// The output in flight. written is the descriptor the text goes to, -1
// when no output is in flight; target the output's own descriptor, or the
// standard stream's, for a copy, else -1; new_name the name of a file the
// run created, which an interruption removes; name the output's name
// resolved through its links, for a rename; temp_name the temporary file's
// name ("" when there is none), which an interruption removes; buf holds
// the n_buffered bytes of text not yet written.
static struct {
    int written = -1;
    int target = -1;
    ending end = ending::written;
    const char *new_name = nullptr;
    char name[file_name_size];
    char temp_name[file_name_size];
    std::size_t n_buffered = 0;
    char buf[output_buffer_size];
} output;

static void
remove_on_interruption()
{
    if (output.temp_name[0] != '\0')
        (void)std::remove(output.temp_name);
    if (output.new_name != nullptr)
        (void)std::remove(output.new_name);
}

static void
finish_at_exit()
{
    (void)finish_output_file();
}

// Answers a descriptor of a new temporary file beside the named file, or in
// the system's temporary folder where beside is nullptr.
static int
make_temp_file(const char *beside)
{
    int file =
        create_temp_file(beside, output.temp_name, sizeof output.temp_name);
    if (file < 0)
        output.temp_name[0] = '\0';
    return file;
}

// Answers the standard stream that holds the output, open as file, or -1.
static int
find_standard_stream(int file, const file_identity *identity)
{
    static const int streams[] = {standard_output, standard_error};
    for (int stream : streams) {
        file_identity held;
        // A stream that was closed gives its number to the next file.
        if (stream != file && identify_input_file(stream, &held) &&
            is_same_regular_file(&held, identity))
            return stream;
    }
    return -1;
}

// Readies the existing regular file open as file to take the text when the
// run ends; answers 0 when no temporary file can be made for it.
static int
choose_ending(int file, const char *name, const file_identity *identity)
{
    output.target = find_standard_stream(file, identity);
    output.end = ending::appended;
    if (output.target < 0) {
        output.target = file;
        output.end = ending::renamed;
        if constexpr (replaces_files) {
            if (resolve_name(name, output.name, sizeof output.name) &&
                (output.written = make_temp_file(output.name)) >= 0) {
                if (take_attributes(file, output.written))
                    return 1;
                (void)close_file(output.written);
                (void)std::remove(output.temp_name);
            }
        }
        output.end = ending::copied;
    } else {
        // The shell's descriptor keeps its offset and append mode, which
        // opening the name again would not.
        (void)close_file(file);
    }
    output.written = make_temp_file(nullptr);
    return output.written >= 0;
}

int
open_output_file(const char *name, file_identity *identity)
{
    int is_new = 0;
    int file = open_for_writing(name, &is_new);
    if (file < 0)
        return 0;
    output.written = file;
    output.target = -1;
    output.end = ending::written;
    output.new_name = is_new ? name : nullptr;
    output.n_buffered = 0;
    if (!identify_input_file(file, identity) ||
        (!is_new && identity->is_regular &&
         !choose_ending(file, name, identity))) {
        if (output.end != ending::appended)
            (void)close_file(file);
        output.written = -1;
        return 0;
    }
    static int is_watched = 0;
    if (!is_watched) {
        is_watched = 1;
        watch_interruptions(remove_on_interruption);
        (void)std::atexit(finish_at_exit);
    }
    return 1;
}

static int
write_buffered_text()
{
    std::size_t n = output.n_buffered;
    output.n_buffered = 0;
    return n == 0 || write_all(output.written, output.buf, n);
}

int
write_output_file(const char *text, std::size_t n)
{
    if (n > sizeof output.buf - output.n_buffered && !write_buffered_text())
        return 0;
    // A run as large as the buffer goes out from where it lies.
    if (n >= sizeof output.buf)
        return write_all(output.written, text, n);
    std::memcpy(output.buf + output.n_buffered, text, n);
    output.n_buffered += n;
    return 1;
}

// Answers whether all of the temporary file's text could be written where
// target stands. A copy into the output's own place ends where the text
// copied does, whole or not.
static int
copy_temp_file()
{
    std::uint64_t at = 0;
    std::size_t got;
    while ((got = read_file_at(output.written, at, output.buf,
                               sizeof output.buf)) != 0 &&
           got != read_failed && write_all(output.target, output.buf, got))
        at += got;
    int copied = got == 0;
    if (output.end != ending::appended && !truncate_file(output.target, at))
        copied = 0;
    return copied;
}

// Answers whether the text written could all be put in the output's place.
static int
put_in_place()
{
    if (output.end == ending::written)
        return 1;
    if constexpr (replaces_files) {
        if (output.end == ending::renamed &&
            place_file(output.temp_name, output.name)) {
            output.temp_name[0] = '\0';
            return 1;
        }
    }
    // A file mounted on its own takes no other file's place: it takes the
    // text where it stands instead.
    return copy_temp_file();
}

// Closes the files the output holds open and removes its temporary file;
// answers whether they closed. From then on no output is in flight.
static int
end_output()
{
    int closed = close_file(output.written);
    if (output.target >= 0 && output.end != ending::appended)
        closed = close_file(output.target) && closed;
    if (output.temp_name[0] != '\0')
        (void)std::remove(output.temp_name);
    output.temp_name[0] = '\0';
    output.new_name = nullptr;
    output.written = -1;
    return closed;
}

int
finish_output_file()
{
    if (output.written < 0)
        return 1;
    // An interruption now would remove or cut what is being put in place.
    hold_interruptions(1);
    int finished = write_buffered_text();
    finished = put_in_place() && finished;
    finished = end_output() && finished;
    hold_interruptions(0);
    return finished;
}

void
abandon_output_file()
{
    if (output.written < 0)
        return;
    hold_interruptions(1);
    if (output.end == ending::written)
        (void)write_buffered_text();
    (void)end_output();
    hold_interruptions(0);
}
