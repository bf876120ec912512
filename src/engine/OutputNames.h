#pragma once

// Where a batch writes the output of one source: the output folder (or the
// source's own folder), the mirrored sub-path of a source found below a
// folder, or a name made from a template and the source's tags.

#include <string>

#include "engine/SourceFiles.h"

// The values a name template can use, as read from the source. Empty means
// the source has no such tag.
struct TNameFields {
    std::string Name; // the source's file name without its extension
    std::string Artist;
    std::string AlbumArtist;
    std::string Album;
    std::string Title;
    std::string Track;
    std::string Disc;
    std::string Date;
    std::string Genre;
    std::string Format; // the output extension without its dot ("mp3")
};

// True when the template uses a field that is read from the source's tags.
bool TemplateNeedsTags(const std::string& nameTemplate);

// The template with its fields filled in: a path relative to the output
// folder, without extension. "/" in the template makes sub-folders; a field's
// value never does. In every component the characters that break names on
// common file systems ("/", control characters, \ : * ? " < > |) become "_",
// and a component that is empty, "." or ".." becomes "_", so the result
// always lies below the folder it is put in. Missing tags give "Unknown
// Artist", "Unknown Album", the file name for {title}, "00" for {track},
// "1" for {disc}; {track} has two digits at least ("3/12" gives "03").
// Unknown "{...}" stays as it is written.
std::string ExpandNameTemplate(const std::string& nameTemplate, const TNameFields& fields);

// How a batch names its outputs.
struct TOutputNaming {
    std::string Folder;      // the output folder
    bool BesideSource = false; // each output beside its source; Folder unused
    std::string Template;    // "" for the source's name (mirrored for walked files)
    std::string Extension;   // with its dot, appended to every name
};

// The full output name of Source. Without a template: the source's name with
// the output extension, in Folder, or for a file found below a folder in
// Folder/<that folder's name>/<sub-path>/ (the layout "cp -r" gives).
// A template replaces that sub-path; each component it makes is cut to 255
// bytes (the last one keeping the extension, never in the middle of a UTF-8
// sequence).
std::string OutputPathOf(const TOutputNaming& naming, const std::string& source, const TSourcePlace& place,
                         const TNameFields& fields);
