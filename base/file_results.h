// What a file command's result box says, for every front end: the captions, and the texts that name
// the file by its bare name.
#pragma once

#include <string>

namespace orv {

constexpr const char* LOAD_FAILED_CAPTION = "Error loading from file";
constexpr const char* SAVE_FAILED_CAPTION = "Error saving to file";
constexpr const char* LOAD_DONE_CAPTION = "Successful load";
constexpr const char* SAVE_DONE_CAPTION = "Successful save";

// "One byte loaded from 'NAME'", "N bytes loaded from 'NAME'", and the same saved to a file.
std::string bytesLoadedText(int count, const std::string& fileTitle);
std::string bytesSavedText(int count, const std::string& fileTitle);
// The tape commands' boxes: a recording that could not start, a tape that cannot play, and what a stop
// had to say.
constexpr const char* RECORD_FAILED_CAPTION = "Error starting recording";
constexpr const char* PLAY_FAILED_CAPTION = "Cannot play this file";
constexpr const char* TAPE_MESSAGE_CAPTION = "MIDI file message";

// A label file that did not load, and one that held no labels.
constexpr const char* LABELS_FAILED_CAPTION = "Error loading labels";
std::string noLabelsText(const std::string& fileTitle);

// Quick Load State with no quick save made yet.
constexpr const char* QUICK_LOAD_CAPTION = "Quick Load State";
constexpr const char* NO_QUICK_SAVE_TEXT = "There is no quick save yet: Quick Save State (F5) makes one.";
// "Error: file 'NAME' is no object, binary or tape file": a file given to load whose name says none.
std::string notAProgramFileText(const std::string& fileTitle);
// "State saved to 'NAME'", "State loaded from 'NAME'".
std::string stateSavedText(const std::string& fileTitle);
std::string stateLoadedText(const std::string& fileTitle);

} // namespace orv
