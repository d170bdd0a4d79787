// The two graph windows: their series, scales, samples and label rules.
#include "windows/graph_window.h"

GraphWindow *newTemperaturesWindow(QWidget *owner)
{
    GraphWindowDef d;
    d.objectName = "frmTaskman";
    d.title = "Temperatures degC";
    d.chartName = "Graph1";
    d.maximum = 550;
    d.minimum = -400;
    d.step = 50;
    d.series = {
        {"Rain", QColor(0, 255, 0), "CS_Label", "RA"},
        {"Sky Temp", QColor(255, 255, 255), "ST_label", "ST"},
        {"Ambient Temp", QColor(0, 255, 255), "AMB_Label", "AT"},
        {"TP Temp", QColor(255, 255, 0), "TP_Label", "TT"},
        // Board counts, against the scale of counts at the right.
        {"Amb1 Temp", QColor(255, 0, 255), "AMB1_Label", "A1T", true},
        {"SkyBrightness", QColor(128, 128, 255), "BrightSky_Lab", "SB", true},
    };
    d.axisLabels = {{"LabelMax", "+55"}, {"Label_Zero", "0"}, {"Label_Min", "-40"}};
    d.samples = [](const Observation &o) { return temperatureSamples(o); };
    d.plotValue = temperaturePlotValue;
    d.labelTop = [](double h, double, double plotted, double maximum, double minimum) {
        return temperatureLabelTop(h, plotted, maximum, minimum);
    };
    d.axisLabelTops = temperatureAxisLabelTops;
    return new GraphWindow(d, owner);
}

GraphWindow *newWindHumidityWindow(QWidget *owner)
{
    GraphWindowDef d;
    d.objectName = "frmTaskman1";
    d.title = "WindHumidity";
    d.chartName = "Graph2";
    d.maximum = 100;
    d.minimum = -20;
    d.step = 5;
    d.series = {
        {"RH", QColor(0, 255, 0), "CS_Label", "RH"},
        {"Wind", QColor(255, 255, 255), "ST_label", "WN"},
        {"DewPoint", QColor(0, 255, 255), "AMB_Label", "DP"},
        {"AMB Temp", QColor(255, 255, 0), "TP_Label", "AM"},
    };
    d.axisLabels = {{"LabelMax", "100"}, {"Label75", "75"}, {"Label50", "50"},
                    {"Label25", "25"},   {"Label_Zero", "0"}, {"Label_Min", "-20"}};
    d.samples = [](const Observation &o) { return windHumiditySamples(o); };
    d.plotValue = windHumidityPlotValue;
    d.labelTop = [](double h, double average, double, double, double) { return windHumidityLabelTop(h, average); };
    d.axisLabelTops = [](double chartHeight, double, double) { return windHumidityAxisLabelTops(chartHeight); };
    return new GraphWindow(d, owner);
}
