#include "sys/files.h"

#include "sys/platform.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

// What a temporary file's name adds to the output's: ".flat.asm.textweld-"
// before six letters or digits.
static const char temp_prefix[] = ".";
static const char temp_infix[] = ".textweld-";
constexpr std::size_t temp_suffix_length = 6;
// Most bytes of the output's own name kept in its temporary file's name, so
// that the name stays within the 255 bytes a folder entry may hold.
constexpr std::size_t temp_base_size = 200;
// Names tried before an output is written in place instead.
constexpr unsigned max_temp_tries = 100;

// The replaced output still open, which a failing run puts in place as it
// ends.
static output_file *pending_output;

int
is_same_regular_file(const file_identity *a, const file_identity *b)
{
    return a->is_regular && b->is_regular && a->volume == b->volume &&
           a->index == b->index && a->index_high == b->index_high;
}

static std::size_t
last_part_start(const char *name)
{
    std::size_t start = 0;
    for (std::size_t i = 0; name[i] != '\0'; ++i) {
        if (std::strchr(folder_separators, name[i]) != nullptr)
            start = i + 1;
    }
    return start;
}

// Answers the length of the first bytes of text, at most cap, that end
// where a UTF-8 sequence does.
static std::size_t
whole_sequences(const char *text, std::size_t n, std::size_t cap)
{
    if (n <= cap)
        return n;
    while (cap > 0 && (static_cast<unsigned char>(text[cap]) & 0xC0) == 0x80)
        --cap;
    return cap;
}

// Stores the name of a temporary file beside final_name, varied by seed;
// answers 0 when it does not fit.
static int
name_temp_file(output_file *file, std::uint64_t seed)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const char *final_name = file->final_name;
    std::size_t folder = last_part_start(final_name);
    std::size_t base = whole_sequences(
        final_name + folder, std::strlen(final_name + folder), temp_base_size);
    char suffix[temp_suffix_length + 1];
    for (std::size_t i = 0; i < temp_suffix_length; ++i) {
        suffix[i] = letters[seed % (sizeof letters - 1)];
        seed /= sizeof letters - 1;
    }
    suffix[temp_suffix_length] = '\0';
    int n = std::snprintf(file->temp_name, sizeof file->temp_name,
                          "%.*s%s%.*s%s%s", static_cast<int>(folder),
                          final_name, temp_prefix, static_cast<int>(base),
                          final_name + folder, temp_infix, suffix);
    return n > 0 && static_cast<std::size_t>(n) < sizeof file->temp_name;
}

// Answers a descriptor of a new temporary file beside final_name, or -1
// when none can be made there.
static int
create_temp_file(output_file *file)
{
    // The time and where this process's stack lies make two runs at once
    // try different names first.
    std::uint64_t seed = static_cast<std::uint64_t>(std::time(nullptr)) ^
                         reinterpret_cast<std::uintptr_t>(&seed) ^
                         static_cast<std::uint64_t>(std::clock());
    for (unsigned tries = 0; tries < max_temp_tries; ++tries) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        if (!name_temp_file(file, seed >> 20))
            return -1;
        int exists = 0;
        int temp = create_new_file(file->temp_name, &exists);
        if (temp >= 0 || !exists)
            return temp;
    }
    return -1;
}

static void
finish_at_exit()
{
    finish_output_at_exit();
}

// Answers a descriptor of the file the output writes: a temporary file that
// has taken the attributes of the old file open as placed, which it
// closes, or placed itself.
static int
choose_written_file(int placed, output_file *file)
{
    int temp = create_temp_file(file);
    if (temp < 0)
        return placed;
    if (!take_attributes(placed, temp)) {
        close_file(temp);
        remove_file(file->temp_name);
        return placed;
    }
    close_file(placed);
    static int registered = 0;
    if (!registered)
        registered = std::atexit(finish_at_exit) == 0;
    file->is_replaced = 1;
    pending_output = file;
    remove_if_interrupted(file);
    return temp;
}

// Puts a replaced output in place if it is still pending and placed is 1,
// else removes its temporary file.
static int
end_pending_output(output_file *file, int placed)
{
    if (pending_output != file)
        return 0;
    pending_output = nullptr;
    if (placed && place_output_file(file))
        return 1;
    remove_file(file->temp_name);
    remove_if_interrupted(nullptr);
    return 0;
}

int
open_output_file(const char *name, output_file *file, file_identity *identity)
{
    file->stream = nullptr;
    file->is_replaced = 0;
    int placed = open_for_writing(name, &file->is_new);
    if (placed < 0)
        return 0;
    if (!identify_input_file(placed, identity)) {
        close_file(placed);
        return 0;
    }
    int written = placed;
    // A new file holds nothing to keep: it is written where it stands, and
    // taken away again if the run is interrupted.
    if (resolve_links(name, file->final_name, sizeof file->final_name)) {
        if (file->is_new)
            remove_if_interrupted(file);
        else if (identity->is_regular)
            written = choose_written_file(placed, file);
    }
    file->stream = open_stream(written);
    if (file->stream == nullptr) {
        close_file(written);
        (void)end_pending_output(file, 0);
        return 0;
    }
    return 1;
}

int
close_output_file(output_file *file)
{
    int closed = !std::ferror(file->stream) && std::fflush(file->stream) == 0;
    closed = std::fclose(file->stream) == 0 && closed;
    file->stream = nullptr;
    if (!file->is_replaced) {
        remove_if_interrupted(nullptr);
        return closed;
    }
    // What could not be written whole is put in place as the run ends.
    return closed && end_pending_output(file, 1);
}

void
keep_old_output(output_file *file)
{
    if (!file->is_replaced || pending_output != file)
        return;
    (void)std::fclose(file->stream);
    file->stream = nullptr;
    (void)end_pending_output(file, 0);
}

void
finish_output_at_exit()
{
    output_file *file = pending_output;
    if (file == nullptr)
        return;
    if (file->stream != nullptr)
        (void)std::fclose(file->stream);
    file->stream = nullptr;
    (void)end_pending_output(file, 1);
}
