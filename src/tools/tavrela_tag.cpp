// tavrela-tag: shows the tag fields and stream facts of an audio file, and writes marker
// frames exactly as the editor's save does. For station scripts and for checking files.
#include "autocue_batch.h"
#include "json_text.h"
#include "tags/tag.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <stdexcept>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

using namespace tavrela::tags;
using tavrela::tools::JsonNumber;
using tavrela::tools::JsonString;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: tavrela-tag show FILE [--json]\n"
    "       tavrela-tag write FILE FRAME=TEXT... [FRAME-]...\n"
    "       tavrela-tag --help | --version\n"
    "FRAME is one of COMM TINT TCAR TVIN TMXI TMXF TRFI TRFF TPMI; FRAME- removes the frame\n"
    "(TCAR- removes the stamp's jingle TVIN too); FRAME= with no text keeps the stored one.\n"
    "Exit status: 0 done, 1 the file could not be read or written, 2 usage error.\n"
    "See tavrela-tag(1).\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) {
        std::cerr << "tavrela-tag: " << problem << "\n";
    }
    std::cerr << kUsageText << tavrela::tools::kAutocueUsage;
    return kUsage;
}

// Writable frames: their CurrentTag field and their parameter index among 20-28.
struct MarkerFrame {
    std::string Tag::*field;
    int parameter;
};
const std::map<std::string, MarkerFrame> kFrames = {
    {"COMM", {&Tag::Comment, 0}},     {"TINT", {&Tag::Intro, 1}},
    {"TCAR", {&Tag::StampTime, 2}},   {"TVIN", {&Tag::StampJingle, 3}},
    {"TMXI", {&Tag::AudioStart, 4}},  {"TMXF", {&Tag::AudioEnd, 5}},
    {"TRFI", {&Tag::ChorusStart, 6}}, {"TRFF", {&Tag::ChorusEnd, 7}},
    {"TPMI", {&Tag::MixPoint, 8}},
};

void PrintJson(bool mp3) {
    std::string out = "{\n  \"fields\": {\n";
    const auto& fields = TagFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out += "    " + JsonString(fields[i].Name) + ": " +
               JsonString(CurrentTag.*fields[i].Member) + (i + 1 < fields.size() ? ",\n" : "\n");
    }
    out += "  },\n  \"stream\": {\n";
    bool valid = false;
    double duration = 0;
    long long frames = 0, bitRate = 0, sampleRate = 0, firstFrame = 0;
    std::string vbr = "null", encoder = "null";
    if (mp3 && MPEGFile) {
        const TMPEGaudio& m = *MPEGFile;
        valid = m.Valid();
        duration = m.Duration();
        frames = m.FrameCount();
        bitRate = m.BitRate();
        sampleRate = m.SampleRate();
        firstFrame = m.Frame.Position;
        if (m.VBR.Found) {
            vbr = JsonString(m.VBR.ID);
        }
        if (m.Frame.Found) {
            encoder = JsonString(m.EncoderText());
        }
    } else if (WAVFile) {
        valid = WAVFile->Valid;
        duration = WAVFile->Duration();
        bitRate = (WAVFile->BytesPerSecond * 8LL + 500) / 1000;
        sampleRate = WAVFile->SampleRate;
        firstFrame = WAVFile->HeaderSize;
    }
    out += "    \"valid\": " + std::string(valid ? "true" : "false") + ",\n";
    out += "    \"durationSeconds\": " + JsonNumber(duration) + ",\n";
    out += "    \"frameCount\": " + std::to_string(frames) + ",\n";
    out += "    \"bitRate\": " + std::to_string(bitRate) + ",\n";
    out += "    \"sampleRate\": " + std::to_string(sampleRate) + ",\n";
    out += "    \"firstFrame\": " + std::to_string(firstFrame) + ",\n";
    out += "    \"vbr\": " + vbr + ",\n";
    out += "    \"encoder\": " + encoder + "\n  }\n}\n";
    std::cout << out;
}

int Show(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "--json")) {
        return Usage("show takes FILE and an optional --json");
    }
    const std::string& file = args[0];
    if (!RegularFileExists(file)) {
        std::cerr << "tavrela-tag: " << file << ": no such file\n";
        return kFailed;
    }
    const std::string ext = FileExtension(file);
    CreateTagObjects(ext);
    ReadTag(file);
    if (args.size() == 2) {
        PrintJson(IsMp3Extension(ext));
    } else {
        for (const TagField& f : TagFields()) {
            std::cout << f.Name << ": " << CurrentTag.*f.Member << "\n";
        }
    }
    FreeTagObjects(ext);
    return kOk;
}

int Write(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        return Usage("write takes FILE and at least one FRAME=TEXT or FRAME-");
    }
    const std::string& file = args[0];
    std::vector<std::string> texts(kFrames.size());
    std::vector<std::string> removed;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto eq = a.find('=');
        const bool remove = eq == std::string::npos && !a.empty() && a.back() == '-';
        const std::string frame = remove ? a.substr(0, a.size() - 1) : a.substr(0, eq);
        const auto it = kFrames.find(frame);
        if ((!remove && eq == std::string::npos) || it == kFrames.end()) {
            return Usage("not a FRAME=TEXT or FRAME- argument: " + a);
        }
        if (remove) {
            removed.push_back(frame);
            texts[static_cast<std::size_t>(it->second.parameter)].clear();
        } else {
            texts[static_cast<std::size_t>(it->second.parameter)] = a.substr(eq + 1);
        }
    }
    if (!RegularFileExists(file)) {
        std::cerr << "tavrela-tag: " << file << ": no such file\n";
        return kFailed;
    }
    const std::string ext = FileExtension(file);
    CreateTagObjects(ext);
    ReadTag(file);
    // The tag is written as version 2.3: frames of an older tag that it has no form for are lost.
    const std::vector<std::string> lost =
        IsMp3Extension(ext) ? Id3v2FramesWithoutV23Form(FileSource(file))
                            : std::vector<std::string>();
    // As the editor's remove commands: the stored value must not come back as a fall-back.
    for (const std::string& frame : removed) {
        CurrentTag.*kFrames.at(frame).field = std::string();
        if (frame == "TCAR") {
            CurrentTag.StampJingle.clear();
        }
    }
    const std::string e;
    bool written = false;
    try {
        written = WriteMarkerTag(file, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e, e,
                                 texts[0], texts[1], texts[2], texts[3], texts[4], texts[5],
                                 texts[6], texts[7], texts[8]);
    } catch (const std::exception& ex) {
        std::cerr << "tavrela-tag: " << file << ": " << ex.what() << "\n";
        FreeTagObjects(ext);
        return kFailed;
    }
    const SaveResult result = LastWriteResult();
    FreeTagObjects(ext);
    if (!written) {
        std::cerr << "tavrela-tag: " << file << ": not written: " << result.Message() << "\n";
        return kFailed;
    }
    for (const std::string& id : lost) {
        std::cerr << "tavrela-tag: " << file << ": frame " << id
                  << " has no ID3v2.3 form and was not kept\n";
    }
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return Usage("");
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "show") {
        return Show(args);
    }
    if (command == "write") {
        return Write(args);
    }
    if (command == "autocue" || command == "loudness") {
        // The progress line only on a terminal, so scripts and logs get the results alone.
        std::ostream* progress = ::isatty(STDERR_FILENO) ? &std::cerr : nullptr;
        return command == "autocue"
                   ? tavrela::tools::RunAutocue(args, std::cout, std::cerr, progress)
                   : tavrela::tools::RunLoudness(args, std::cout, std::cerr, progress);
    }
    if (command == "--help" || command == "-h") {
        std::cout << kUsageText << tavrela::tools::kAutocueUsage;
        return kOk;
    }
    if (command == "--version") {
        std::cout << "tavrela-tag " << TAVRELA_VERSION << "\n";
        return kOk;
    }
    return Usage("unknown command: " + command);
}
