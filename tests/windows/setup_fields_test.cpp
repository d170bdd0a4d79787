// The setup dialog's rules without widgets: validation, formats, enable
// rules, position reset, pickers, and the wave header the player reads.
#include "windows/mm_control.h"
#include "windows/setup_fields.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {
FieldReading read(const char *property, const char *text)
{
    return readField(fieldRule(QLatin1String(property)), QString::fromLatin1(text));
}
} // namespace

TEST(SetupFields, ConversionAndRangeFailures)
{
    // A range-tested field: the conversion message, then the range message on the rejection value.
    FieldReading r = read("StepTime", "abc");
    EXPECT_EQ(r.value, RejectedValue);
    EXPECT_EQ(r.messages, QStringList({"invalid input in Step Time", "invalid input in Step Time, must be > 0"}));
    // The maximum step falls back to 0, which passes its own range: one message.
    r = read("WindSpeedCloseD", "x");
    EXPECT_EQ(r.value, 0);
    EXPECT_EQ(r.messages.size(), 1);
    EXPECT_EQ(read("WindSpeedWarn", "0").value, RejectedValue); // zero is no step
    EXPECT_EQ(read("TempAvgCnt", "0").value, RejectedValue);

    // Integers round halves to even; overflow is a conversion failure.
    EXPECT_EQ(read("BacklashComp", "2.5").value, 2);
    EXPECT_EQ(read("BacklashComp", "3.5").value, 4);
    EXPECT_EQ(read("BacklashComp", "99999999999").messages, QStringList({"invalid input in Backlash steps"}));

    // Board settings fall back to their defaults; only some boxes show the default.
    r = read("PartCloudyDegCL", "");
    EXPECT_EQ(r.value, 22);
    EXPECT_EQ(r.newText, QString("22")); // the default as a whole number, not in the box's "0.0" form
    EXPECT_TRUE(r.rejected);
    EXPECT_FALSE(read("LightThreshold", "-").newText.has_value());
    EXPECT_EQ(read("LightThreshold", "-").value, 950);
    EXPECT_EQ(read("WindTimerL", "q").value, 122);
    EXPECT_EQ(read("RainOnTimeL", "q").value, 60);
    EXPECT_EQ(read("WindMultiplierL", "q").value, 3);
    EXPECT_TRUE(read("WindMultiplierL", "12").messages.isEmpty()); // the range in its message is not enforced
    // A typed -9999 is a number like any other where any number is taken.
    EXPECT_FALSE(read("TPTempOffset", "-9999").rejected);
    EXPECT_TRUE(read("TPTempOffset", "-").rejected);
}

TEST(SetupFields, ShownFormatsKeepOnlyTheirPrecision)
{
    auto text = [](const char *p, double v) { return fieldText(fieldRule(QLatin1String(p)), v); };
    EXPECT_EQ(text("WindSpeedCloseD", 16.5), "17"); // display rounds halves away from zero
    EXPECT_EQ(text("StepTime", 0.015), "0.015");
    EXPECT_EQ(text("MaxInc", 1), "1.0");
    EXPECT_EQ(text("TempMax", 5), "5.00");
    EXPECT_EQ(text("Joystick_interceptR", 6.16), "6.1600");
    EXPECT_EQ(text("ThermistorR_C", 0.000000827387), "0.000000827387");
}

TEST(SetupFields, GreyedBoxesCountAsChecked)
{
    EnabledInputs in;
    in.canTemp = in.canTempComp = in.synchronous = Greyed;
    const EnabledControls e = enabledControls(in);
    EXPECT_TRUE(e.tempSteps && e.backlashComp && e.backlashDir && e.synchronous);
    EXPECT_FALSE(e.windSpeedWarn);
}

TEST(SetupFields, PickerFiltersAndPreselection)
{
    const PickerRequest sound = pickerRequest(PickerKind::Sound);
    EXPECT_EQ(sound.nameFilters, QStringList({"All Files (*.*)", "Wave Files(*.wav)", "Batch Files (*.bat)"}));
    EXPECT_EQ(sound.nameFilters.value(sound.selectedFilter), "Wave Files(*.wav)");
    EXPECT_EQ(sound.initialFolder, "/");
    const PickerRequest program = pickerRequest(PickerKind::Program);
    EXPECT_EQ(program.nameFilters.value(program.selectedFilter), "All Files (*.*)");
    EXPECT_EQ(program.nameFilters.value(1), "Exe Files(*.exe)");
    // A description that does not name its pattern gets it appended.
    EXPECT_EQ(nameFiltersFromPipeText("Sounds|*.wav|Odd"), QStringList({"Sounds (*.wav)"}));
}

namespace {
QByteArray wave(uint16_t format, uint32_t byteRate, uint32_t dataBytes, bool extraChunk)
{
    auto u32 = [](uint32_t v) {
        QByteArray b(4, 0);
        qToLittleEndian<quint32>(v, b.data());
        return b;
    };
    auto u16 = [](uint16_t v) {
        QByteArray b(2, 0);
        qToLittleEndian<quint16>(v, b.data());
        return b;
    };
    QByteArray fmt = u16(format) + u16(1) + u32(byteRate) + u32(byteRate) + u16(1) + u16(8);
    QByteArray d = "WAVE" + QByteArray("fmt ") + u32(16) + fmt;
    if (extraChunk)
        d += QByteArray("LIST") + u32(3) + QByteArray("abc") + QByteArray(1, 0); // odd size, padded
    d += QByteArray("data") + u32(dataBytes);
    return "RIFF" + u32(uint32_t(d.size())) + d;
}
} // namespace

TEST(WaveHeader, DurationFromFormatAndDataChunks)
{
    EXPECT_EQ(waveDurationMs(wave(1, 8000, 4000, false)), 500);
    EXPECT_EQ(waveDurationMs(wave(1, 8000, 16000, true)), 2000);
    EXPECT_EQ(waveDurationMs(wave(3, 1000, 1000, false)), 1000);
    EXPECT_FALSE(waveDurationMs(wave(0x55, 8000, 4000, false)).has_value()); // compressed
    EXPECT_FALSE(waveDurationMs(wave(1, 0, 4000, false)).has_value());
    EXPECT_FALSE(waveDurationMs("RIFF....AVI LIST").has_value());
    EXPECT_FALSE(waveDurationMs(wave(1, 8000, 4000, false).left(30)).has_value());
}

TEST(WavePlayer, UnplayableFilesFailQuietly)
{
    QTemporaryDir dir;
    const QString text = dir.filePath("notes.wav");
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a sound");
    f.close();
    MMControl player;
    EXPECT_FALSE(player.playWaveFile(dir.filePath("missing.wav")));
    EXPECT_FALSE(player.playWaveFile(text));
    EXPECT_FALSE(player.Command("Rewind"));
}
