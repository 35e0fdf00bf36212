#include "core/config/defaults.h"

#include "core/config/sim_presets.h"

namespace rv {

namespace {

// Every write names a field of the tables; a misspelt name or a value out of range is a programming error.
void put(RecordBase& r, QStringView name, qint64 value, int index = 0)
{
    const FieldError e = r.setNumber(name, index, value);
    Q_ASSERT_X(e == FieldError::None, "loadDefaults", qPrintable(name.toString()));
    Q_UNUSED(e);
}

void putAll(RecordBase& r, QStringView name, qint64 value)
{
    const FieldDef* f = r.field(name);
    Q_ASSERT(f);
    for (int i = 0; f && i < f->count; ++i)
        put(r, name, value, i);
}

// Zero bytes over every element of a text, hex or reserved field.
void zeroAll(RecordBase& r, QStringView name)
{
    const FieldDef* f = r.field(name);
    Q_ASSERT(f);
    for (int i = 0; f && i < f->count; ++i)
        r.setRawAt(*f, i, QByteArray(f->size, '\0'));
}

void connectSet(ConfigBlock& c)
{
    put(c, u"ID_Device", 1);
    put(c, u"Password", kDefaultDevicePassword);
    put(c, u"MicLevel", 10);
    put(c, u"SpkLevel", 80);
    put(c, u"RingNum", 2);
    put(c, u"Vollevel", 2);
    putAll(c, u"IP_server", 0);
    put(c, u"Port_server", 0);
    for (int sim = 1; sim <= 2; ++sim) {
        const SimFields f = simFields(sim);
        zeroAll(c, f.apn);
        zeroAll(c, f.login);
        zeroAll(c, f.password);
        applySimPreset(c, sim, 4); // "Теле2"
    }
    put(c, u"SMSansver", 0);
    put(c, u"SMSBalans", 0);
    put(c, u"BalansBox", 50);
    put(c, u"Auto_update", 0);
    putAll(c, u"IP_update", 0);
    put(c, u"Port_update", 0);
    put(c, u"Date_update", 1);
    put(c, u"Radio_mute_en", 0);
    put(c, u"Radio_mute_time", 1);
    put(c, u"Radio_mute_soff", 0);
    put(c, u"SMSallnumber", 1);
    put(c, u"DISAUTOSWITCH", 0);
}

void gpsSet(ConfigBlock& c)
{
    for (const char16_t* flag : {u"ParkCheck", u"Filter_coord", u"Perestroi", u"Filterline"})
        put(c, flag, 0);
    put(c, u"TimePark", 30);
    put(c, u"Perpackstop", 120);
    put(c, u"Perpackstop2", 120);
    put(c, u"Accel_sens", 800);
    put(c, u"Timeoutstop", 60);
    put(c, u"Perpackmove", 30);
    put(c, u"Packdist", 30);
    put(c, u"Minangel", 5);
    put(c, u"Minspeedangel", 3);
    put(c, u"MaxHdop", 40);
    put(c, u"Minspeed", 3);
    put(c, u"Maxspeed", 150);
    put(c, u"Maxdist", 50);
    put(c, u"Maxaccel", 30);
    put(c, u"Filterlineangel", 5);
}

void packetStructure(ConfigBlock& c)
{
    put(c, u"PacketStruct", 0);
    put(c, u"Protocol", 1); // "Версия 0"
    // The page shows every node of the version 1 structure unticked; the record says the same.
    putAll(c, u"PacketStructV1", 0);
}

// Every output reaction place: no output switched, every timing byte 1.
void reactions(InpOutBlock& io)
{
    static const char16_t* const timings[] = {u"Out1act", u"Out1pause", u"Out1per", u"Out2act", u"Out2pause",
                                              u"Out2per", u"Out3act", u"Out3pause", u"Out3per", u"Out4act",
                                              u"Out4pause", u"Out4per"};
    for (const char16_t* place : {u"actin", u"passin", u"actoh", u"passoh", u"extlow", u"dtmf", u"trevoh"}) {
        const QString suffix = QStringLiteral("_") + QString::fromUtf16(place);
        putAll(io, QStringLiteral("modes") + suffix, 0);
        for (const char16_t* t : timings)
            putAll(io, QString::fromUtf16(t) + suffix, 1);
    }
}

void inputs(ConfigBlock& c)
{
    putAll(c, u"InputMode", 0);
    for (int n = 0; n < 8; ++n) {
        put(c, u"InputThresholds", 0, 2 * n);
        put(c, u"InputThresholds", 1023, 2 * n + 1);
    }
    putAll(c, u"InputFilter", 1);
    putAll(c, u"FreqLevel", 65535);
}

void outsSecurityPower(ConfigBlock& c)
{
    put(c, u"SMSOUT_en", 0);
    put(c, u"DTMFOUT_en", 0);
    put(c, u"OutputActiveState", 0x0F);
    put(c, u"SSen", 0);
    put(c, u"SSimp", 6000);

    put(c, u"Ohrana_en", 0);
    put(c, u"SecurityInputs", 0);
    put(c, u"TINOh", 30);
    put(c, u"TOUTOh", 30);
    put(c, u"TALOh", 5);
    zeroAll(c, u"IButtonKeys");
    put(c, u"Image_dest_oh", 0); // "сохранить на носитель"

    put(c, u"Extvoltlev", 295); // 10.5 V
    put(c, u"Timeextvolt", 10);
}

void deviceSet(ConfigBlock& c)
{
    put(c, u"Autoinfo_en", 0);
    put(c, u"CAN_en", 0);
    put(c, u"CANrate", 0);   // "100 Kbit"
    put(c, u"Image_rez", 2); // "320 x 240"
    put(c, u"RS232_box1", 9600);
    put(c, u"RS232_box2", 9600);
    put(c, u"SerialDevices", 0);
    put(c, u"Omniaddress1", 0);
    put(c, u"Omniaddress2", 0);
    for (const char16_t* t : {u"TempLL1", u"TempLL2", u"TempLH1", u"TempLH2"})
        put(c, t, 0);
    put(c, u"Send_NMEA", 0);
    put(c, u"GLONASS_rej", 0);
    put(c, u"Nav_2D_en", 0);
    put(c, u"iBnS", 0);
}

void connections(ConfigBlock& c)
{
    zeroAll(c, u"Phone");
    putAll(c, u"RingSources", 0);
    putAll(c, u"SmsSources", 0);
    putAll(c, u"CallMode", 0);
    putAll(c, u"OutCallCount", 1);
    put(c, u"SmsAcceptMask", 0);
    put(c, u"RingOnlyMask", 0);
    put(c, u"LenConnectMask", 0);
    zeroAll(c, u"Reserved85");
}

void events(ConfigBlock& c, InpOutBlock& io)
{
    put(c, u"Events_en", 0);
    // Source, state and actions cleared; of the condition word only bit 31 stays.
    const FieldDef* w1 = io.field(u"EventWord1");
    for (int i = 0; i < w1->count; ++i) {
        put(io, u"EventWord0", 0, i);
        put(io, u"EventWord1", io.numberAt(*w1, i) & 0x80000000LL, i);
    }
    for (const char16_t* t : {u"DelayTimer1", u"DelayTimer2", u"DelayTimer3", u"DelayTimer4"})
        put(c, t, 1);
    put(c, u"HISPEED", 60);
    put(c, u"ACCELPOROG", 50);
}

void connectSet2(ConfigBlock& c, ConfSeBlock& se)
{
    put(c, u"USSDPREF", 147);
    put(c, u"USSDTYPE", 7);
    put(c, u"USSDPERIOD", 300);
    put(c, u"ROUINT", 0);
    put(c, u"ENSendServer2", 0);
    putAll(se, u"IP2", 0);
    put(se, u"IPport2", 10000);
    put(se, u"TIMETOCON2", 10);
}

void satellite(ConfigBlock& c, ConfSeBlock& se)
{
    put(c, u"IRSAVEINT_", 60);
    put(c, u"IRbuf", 340);
    put(c, u"IRmessend", 1);
    put(c, u"IRbyDist", 0); // records by time in motion
    put(c, u"IRDIST", 10);
    put(c, u"IRparking", 0);
    put(se, u"IRPARKTIME", 60);
}

} // namespace

void loadDefaults(ConfigRecords& r)
{
    put(r.config, u"FormatMark", 0xF0);
    connectSet(r.config);
    gpsSet(r.config);
    packetStructure(r.config);
    reactions(r.inpOut);
    inputs(r.config);
    outsSecurityPower(r.config);
    deviceSet(r.config);
    connections(r.config);
    events(r.config, r.inpOut);
    connectSet2(r.config, r.confSe);
    satellite(r.config, r.confSe);
}

void loadStartValues(ConfigRecords& r)
{
    for (const char16_t* flag : {u"DTMF_en", u"RS232_en1", u"RS232_en2", u"Logfile_en", u"Write_img_oh", u"GET_PASS",
                                 u"USSDEN", u"Omni_sum"})
        put(r.config, flag, 0);
    for (const char16_t* flag : {u"ALLNUMEN", u"SendCurrentRouming", u"HandIridium"})
        put(r.config, flag, 0);
    put(r.confSe, u"SELOPINROU", 0);
    put(r.config, u"Full_bak1", 0);
    put(r.config, u"Full_bak2", 0);
    put(r.config, u"CONF_PASS", kDefaultConfigPassword);
    for (int n = 1; n <= 5; ++n) {
        put(r.confSe, QStringLiteral("MCC%1").arg(n), 250);
        put(r.confSe, QStringLiteral("MNC%1").arg(n), 1);
    }
}

void loadStartDefaults(ConfigRecords& r)
{
    loadStartValues(r);
    loadDefaults(r);
}

} // namespace rv
