#pragma once
// The tag facade: the one door through which the editor reads the audio file's facts and tag
// texts (into `CurrentTag`) and writes its markers, comment and stamp jingle back.
// Module state, used from one thread.
#include "id3v1.h"
#include "id3v2.h"
#include "mpeg_audio.h"
#include "wav_file.h"

#include <array>
#include <memory>
#include <string>

namespace tavrela::tags {

/// The 47 texts of one file: file facts, tag texts, marker texts.
struct Tag {
    std::string Valid;
    std::string FileSize;
    std::string VersionLayer;
    std::string BitRate;
    std::string SampleRate;
    std::string ChannelMode;
    std::string Duration;
    std::string FirstFrame;
    std::string Protection;
    std::string FrameCount;
    std::string Copyrighted;
    std::string Original;
    std::string Emphasis;
    std::string AudioEncoder;
    std::string TagPresent;
    std::string TagVersion;
    std::string TagSize;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Track;
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::string Composer;
    std::string Encoder;
    std::string Copyright;
    std::string Language;
    std::string FrameTGRA;
    std::string FrameTVOC;
    std::string Rating;
    std::string FrameTTPE;
    std::string FrameTPIN;
    std::string FrameTPFI;
    std::string Link;
    std::string FrameTRIT;
    std::string Intro;
    std::string FrameTEXT;
    std::string FrameTEST;
    std::string FrameTIDM;
    std::string StampTime;
    std::string StampJingle;
    std::string AudioStart;
    std::string AudioEnd;
    std::string ChorusStart;
    std::string ChorusEnd;
    std::string MixPoint;

    bool operator==(const Tag&) const = default;
};

/// A field of `Tag` by name, in record order.
struct TagField {
    const char* Name;
    std::string Tag::*Member;
};
inline constexpr std::size_t kTagFieldCount = 47;
const std::array<TagField, kTagFieldCount>& TagFields();

extern std::unique_ptr<TMPEGaudio> MPEGFile; ///< MP3 files: stream facts and their own tags
extern std::unique_ptr<TID3v1> ID3v1Tag;     ///< MP3 files
extern std::unique_ptr<TID3v2> ID3v2Tag;     ///< MP3 files; the writer
extern std::unique_ptr<TWAVfile> WAVFile;    ///< any other extension
extern Tag CurrentTag;

/// Creates the analysers for an extension (".mp3"/"mp3" in any case: MP3, else WAV).
void CreateTagObjects(const std::string& Extension);
/// Empties all fields of CurrentTag.
void ClearTag();
/// Fills CurrentTag and the analysers from the file; failures end it silently.
void ReadTag(const std::string& FileName);
/// Writes the ID3v2 tag; empty parameters fall back to CurrentTag. True when written.
/// False without writing when the file is missing, the analysers are WAV ones, or the last
/// ReadTag did not read this file's ID3v2 tag (its stream was not valid): the tag is rebuilt
/// from the fields read, so writing unread fields would wipe the file's texts.
/// Throws std::invalid_argument when the track is not a whole number from 0 to 65535.
bool WriteMarkerTag(const std::string& FileName, const std::string& Title,
                    const std::string& Artist, const std::string& Composer,
                    const std::string& Album, const std::string& Year, const std::string& Track,
                    const std::string& TIDM, const std::string& Genre, const std::string& TEST,
                    const std::string& TRIT, const std::string& Language, const std::string& TGRA,
                    const std::string& TVOC, const std::string& Rating, const std::string& TTPE,
                    const std::string& TPIN, const std::string& TPFI, const std::string& TEXT,
                    const std::string& Comment, const std::string& Intro,
                    const std::string& StampTime, const std::string& StampJingle,
                    const std::string& AudioStart, const std::string& AudioEnd,
                    const std::string& ChorusStart, const std::string& ChorusEnd,
                    const std::string& MixPoint);
/// Why the last WriteMarkerTag wrote nothing (Ok() when it wrote). A write is also refused
/// when the file could not be read completely or changed since ReadTag read it.
const SaveResult& LastWriteResult();
/// Releases the analysers of the extension's kind (and empties CurrentTag for MP3).
void FreeTagObjects(const std::string& Extension);

/// The extension of a file name, dot included ("" when it has none).
std::string FileExtension(const std::string& FileName);
/// True for ".MP3" or "MP3" in any letter case.
bool IsMp3Extension(const std::string& Extension);
/// Fixed-point text with a decimal comma, rounded half away from zero, and no digit before
/// the comma when the whole part is 0 (250,0  ,5  10,000). Independent of the locale.
std::string FormatDecimalComma(double value, int decimals);

} // namespace tavrela::tags
