#pragma once

// The built-in default configuration: what "Загрузить конфигурацию по умолчанию" and a start without a
// configuration file put into the three records. The same values serve every device type.

#include "core/config/records.h"

namespace rv {

// The device password and the configuration password a fresh configuration carries.
inline constexpr int kDefaultDevicePassword = 1234;
inline constexpr int kDefaultConfigPassword = 1;

// Writes every default value into the records. The user's own switches and values that the defaults leave
// alone keep theirs: RS232_en1/2, DTMF_en, Logfile_en, Write_img_oh, Omni_sum, USSDEN, GET_PASS, ALLNUMEN,
// HandIridium, SendCurrentRouming, SELOPINROU, Full_bak1/2, CONF_PASS, MCC1..5, MNC1..5; so do the fuel
// tables, SatTariff, the reserved bytes, the condition-state words and bit 31 of each rule's condition word.
void loadDefaults(ConfigRecords& records);

// The values those kept fields have when the program starts (all switches off, the configuration
// password, operator 250/1 five times); the rest of the records are zero.
void loadStartValues(ConfigRecords& records);

// A fresh start: loadStartValues, then loadDefaults.
void loadStartDefaults(ConfigRecords& records);

} // namespace rv
