#pragma once

// The commands sent to a unit. Each composer returns the separate writes of one command in order: the
// command word, then each tail piece; on the wire they form one contiguous byte string.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>

namespace rv {

using Writes = QList<QByteArray>;

namespace cmd {

// Bare command words.
inline constexpr char kHandshake[] = "CONFIGO";    // look for a unit
inline constexpr char kClose[] = "CONFIGC";        // the program lets the port go
inline constexpr char kPollGps[] = "CONFIGG";      // keep-alive: navigation block
inline constexpr char kReadConfig[] = "CONFIGR";
inline constexpr char kReadInpOut[] = "CONFIGP";
inline constexpr char kReset[] = "CONFIGA";
inline constexpr char kBootloader[] = "CONFIGB";
inline constexpr char kEraseTrack[] = "CONFIGX";
inline constexpr char kVoiceArchiveStart[] = "RV+VMS";

// Monitor flag bits sent after "CONFIGD".
inline constexpr uint8_t kFlagLogTrailer = 0x01;
inline constexpr uint8_t kFlagCanScanner = 0x02;

Writes word(const char* text);                    // a bare command word
Writes pollDevice(uint8_t monitorFlags);          // "CONFIGD" + flags byte
Writes readExtended();                            // "CONFIGS" "0"
Writes writeConfig(QByteArrayView record);        // "CONFIGW" 00 02 record+checksum
Writes writeInpOut(QByteArrayView record);        // "CONFIGI" 01 02 record+checksum
Writes writeExtended(QByteArrayView record);      // "CONFIGT" "0" 1A 00 record+checksum
Writes cameraShot1(int resolutionIndex);          // "CONFIGJ" + low 4 bits of the index
Writes cameraShot2(int resolutionIndex);          // "CONFIGH" + low 4 bits of the index
Writes password(uint16_t value);                  // "RV+PASS=%d"
Writes satelliteModem();                          // "CONFIGZ" 01 01
Writes memoryRequest(QByteArrayView request);     // "CONFIGM" + the request bytes
Writes memoryRepeat(int dumpTypeIndex);           // "CONFIGM" 0A index 01

} // namespace cmd

// A binary block written in one write whose length is a multiple of 8 gets one zero byte appended.
QByteArray padBlock(QByteArray block);

// A record followed by its block checksum, low byte first, padded.
QByteArray checkedBlock(QByteArrayView record);

} // namespace rv
