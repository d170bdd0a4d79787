// The charts of the archive for the chosen span: bands for rain, daylight,
// darkness and unsafe spells, the clear and overcast limits on the cloud
// chart, every colour from the page's theme. Drawn only when the program
// keeps an archive.
"use strict";

const STEPS = { 3600: 10, 21600: 60, 86400: 300, 604800: 1800 };
let span = 3600;
let charts = [];
let chartTimer = null;
let lastHistory = null; // the last /history answer, drawn again on a change of units or colours
let cloudLimits = null; // {clear_from_c, overcast_to_c}: the settings in force

// Shades the steps where a share (raining, daylight, darkness) is at least a
// half; unsafe steps get a strip along the top, so that it never mixes with them.
function bandsPlugin(history) {
  const shade = (u, share, colour, strip = 0) => {
    const t = history.time;
    const ctx = u.ctx;
    ctx.save();
    ctx.fillStyle = colour;
    for (let i = 0; i < t.length; i++) {
      if (!(share(i) >= 0.5)) continue;
      const x0 = u.valToPos(t[i], "x", true);
      const x1 = u.valToPos(t[i] + history.step, "x", true);
      ctx.fillRect(x0, u.bbox.top, Math.max(1, x1 - x0), strip ? strip * devicePixelRatio : u.bbox.height);
    }
    ctx.restore();
  };
  const of = (key) => (i) => (history[key] ? history[key][i] : null);
  const unsafe = (i) => (history.safe[i] === null ? null : 1 - history.safe[i]);
  return {
    hooks: {
      drawClear: [(u) => {
        shade(u, of("dark"), themeColour("band-dark"));
        shade(u, of("daylight"), themeColour("band-day"));
        shade(u, of("raining"), themeColour("band-rain"));
        shade(u, unsafe, themeColour("band-unsafe"), 6);
      }],
    },
  };
}

// Dashed horizontal lines with their names: [{value, label, colour}] on scale "y".
function limitsPlugin(lines) {
  return {
    hooks: {
      draw: [(u) => {
        const ctx = u.ctx;
        ctx.save();
        ctx.setLineDash([6 * devicePixelRatio, 4 * devicePixelRatio]);
        ctx.lineWidth = devicePixelRatio;
        ctx.font = 11 * devicePixelRatio + "px system-ui, sans-serif";
        ctx.textAlign = "right";
        for (const line of lines) {
          const y = Math.round(u.valToPos(line.value, "y", true)) + 0.5;
          ctx.strokeStyle = line.colour;
          ctx.fillStyle = line.colour;
          ctx.beginPath();
          ctx.moveTo(u.bbox.left, y);
          ctx.lineTo(u.bbox.left + u.bbox.width, y);
          ctx.stroke();
          ctx.fillText(line.label, u.bbox.left + u.bbox.width - 4 * devicePixelRatio, y - 3 * devicePixelRatio);
        }
        ctx.restore();
      }],
    },
  };
}

// A step without observations (program stopped, board silent) becomes an
// empty point, so lines and bands break there instead of bridging the gap.
function withGaps(h) {
  const keys = Object.keys(h).filter((k) => Array.isArray(h[k]) && k !== "time");
  const out = Object.assign({}, h, { time: [] });
  for (const k of keys) out[k] = [];
  for (let i = 0; i < h.time.length; i++) {
    if (i > 0 && h.time[i] - h.time[i - 1] > h.step) {
      out.time.push(h.time[i - 1] + h.step);
      for (const k of keys) out[k].push(null);
    }
    out.time.push(h.time[i]);
    for (const k of keys) out[k].push(h[k][i]);
  }
  return out;
}

function inUnit(values, kind) {
  const u = kind === "wind" ? UNITS.wind[chosen.wind] : UNITS.temp[chosen.temp];
  const f = kind === "wind" ? (v) => v * u.k : kind === "temp" ? u.abs : u.diff;
  return values.map((v) => (v === null ? null : f(v)));
}

function cloudLimitLines() {
  if (!cloudLimits) return [];
  const diff = UNITS.temp[chosen.temp].diff;
  return [
    { value: diff(cloudLimits.clear_from_c), label: "clear at or above", colour: themeColour("limit-clear") },
    { value: diff(cloudLimits.overcast_to_c), label: "overcast at or below", colour: themeColour("limit-overcast") },
  ];
}

function chartLayouts(h) {
  const cloudPct = h.cloudy.map((v) => (v === null ? null : v * 100));
  const t = UNITS.temp[chosen.temp].label;
  const w = UNITS.wind[chosen.wind].label;
  const c = (n) => themeColour("chart-" + n);
  return [
    { id: "chart-temps", title: "Temperatures (" + t + ")", series: [["Ambient", inUnit(h.ambient_c, "temp"), c(1)], ["Sky", inUnit(h.sky_c, "temp"), c(2)], ["Dew point", inUnit(h.dew_point_c, "temp"), c(3)]] },
    { id: "chart-clouds", title: "Ambient − sky (" + t + ") and cloudy share (%)", limits: cloudLimitLines(), series: [["Ambient − sky", inUnit(h.amb_minus_sky_c, "tempdiff"), c(4)], ["Cloudy", cloudPct, c(5), "pct"]] },
    { id: "chart-humidity", title: "Humidity (%)", series: [["Humidity", h.humidity_pct, c(2)]] },
    { id: "chart-wind", title: "Wind and gust (" + w + ")", series: [["Wind", inUnit(h.wind, "wind"), c(3)], ["Gust", inUnit(h.gust_max, "wind"), c(1)]] },
  ];
}

function chartWidth(el) {
  return Math.max(240, el.clientWidth - 12);
}

function chartOptions(chart, h, el) {
  const hasPct = chart.series.some((s) => s[3] === "pct");
  const limits = chart.limits || [];
  const axis = { stroke: themeColour("chart-axis"), grid: { stroke: themeColour("chart-grid") }, ticks: { stroke: themeColour("chart-grid") } };
  const yRange = (u, min, max) => {
    const values = limits.map((l) => l.value).concat(min === null ? [] : [min, max]);
    if (!values.length) return [0, 1];
    const lo = Math.min(...values), hi = Math.max(...values);
    const margin = Math.max(1, (hi - lo) * 0.08);
    return [Math.floor(lo - margin), Math.ceil(hi + margin)];
  };
  return {
    title: chart.title,
    width: chartWidth(el), height: 200,
    plugins: [bandsPlugin(h)].concat(limits.length ? [limitsPlugin(limits)] : []),
    scales: { x: { time: true, range: [Date.parse(h.from) / 1000, Date.parse(h.to) / 1000] }, y: { range: yRange }, pct: { range: [0, 100] } },
    axes: [Object.assign({ values: (u, splits) => splits.map(span > 172800 ? dayClock : clock) }, axis), Object.assign({ size: 46 }, axis)]
      .concat(hasPct ? [Object.assign({}, axis, { scale: "pct", side: 1, grid: { show: false }, size: 44 })] : []),
    series: [{ value: (u, t) => (t === null ? "--" : dayClock(t) + " (" + utcText(t * 1000).slice(11, 16) + " UTC)") }].concat(chart.series.map(([label, , colour, scale]) => ({ label, stroke: colour, width: 1.5, scale: scale || "y", spanGaps: false }))),
  };
}

function drawCharts(history) {
  lastHistory = history;
  const h = withGaps(history);
  for (const c of charts) c.destroy();
  charts = [];
  for (const chart of chartLayouts(h)) {
    const el = document.getElementById(chart.id);
    el.replaceChildren();
    const data = [h.time].concat(chart.series.map((s) => s[1]));
    charts.push(new uPlot(chartOptions(chart, h, el), data, el));
    el.dataset.points = String(chart.series[0][1].filter((v) => v !== null).length);
  }
}

async function refreshCharts() {
  clearTimeout(chartTimer);
  const query = "from=" + span + "s&to=now&step=" + STEPS[span];
  try {
    const h = await getJson("/tarnwick/v1/history?" + query);
    drawCharts(h);
    document.getElementById("chart-note").textContent = h.time.length ? "" : "nothing archived in this span yet";
    const csv = new URLSearchParams({ from: h.from, to: h.to, step: String(h.step), format: "csv" });
    document.getElementById("csv").href = "/tarnwick/v1/history?" + csv.toString();
  } catch (e) {
    document.getElementById("chart-note").textContent = "charts unavailable: " + e.message;
  }
  chartTimer = setTimeout(refreshCharts, span <= 3600 ? 30000 : 60000);
}

function redrawCharts() {
  if (lastHistory) drawCharts(lastHistory);
}

for (const button of document.querySelectorAll("#spans button")) {
  button.addEventListener("click", () => {
    span = Number(button.dataset.span);
    for (const b of document.querySelectorAll("#spans button")) b.classList.toggle("chosen", b === button);
    refreshCharts();
  });
}
window.addEventListener("resize", () => {
  for (const c of charts) c.setSize({ width: chartWidth(c.root.parentElement), height: 200 });
});
onThemeChange(redrawCharts);
