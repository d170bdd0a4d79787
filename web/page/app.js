// The weather watch page: live values every few seconds, charts of the
// archive for the chosen span. Every text from the program goes in through
// textContent, never as markup. The program judges the weather and the
// freshness of readings; the page only shows what it was told, and tells no
// verdict at all once it has not heard from the program for longer than the
// program's own StaleAfterSeconds.
"use strict";

const LIVE_EVERY_MS = 5000;
const ANSWER_WITHIN_MS = 4000; // a hung program is no answer
const STEPS = { 3600: 10, 21600: 60, 86400: 300, 604800: 1800 };

let live = null;          // the last /live answer
let liveAt = 0;           // performance.now() when it came
let answeredAt = new Date(); // the clock time of the last answer (the page's opening before one)
let unanswered = false;   // the last request got no answer
let lastHistory = null;   // the last /history answer, drawn again on a change of units
let span = 3600;
let charts = [];
let chartTimer = null;

const $ = (id) => document.getElementById(id);
const pad = (n) => String(n).padStart(2, "0");

// Units: the JSON is in °C and mph; the page shows what this browser chose.
const UNITS = {
  temp: { C: { label: "°C", abs: (c) => c, diff: (d) => d }, F: { label: "°F", abs: (c) => c * 1.8 + 32, diff: (d) => d * 1.8 } },
  wind: { mph: { label: "mph", k: 1 }, kmh: { label: "km/h", k: 1.609344 }, ms: { label: "m/s", k: 0.44704 } },
};
function storedUnit(kind, fallback) {
  try {
    const v = localStorage.getItem("tarnwick.unit." + kind);
    return v && UNITS[kind][v] ? v : fallback;
  } catch (e) {
    return fallback;
  }
}
const chosen = { temp: storedUnit("temp", "C"), wind: storedUnit("wind", "mph") };

function fmt(value, digits) {
  return value === null || value === undefined || Number.isNaN(value) ? null : value.toFixed(digits);
}
// A value of a kind in the chosen unit, with its label; "–" when missing.
function shown(value, kind, digits = 1) {
  if (value === null || value === undefined) return "–";
  if (kind === "temp" || kind === "tempdiff") {
    const u = UNITS.temp[chosen.temp];
    return fmt(kind === "temp" ? u.abs(value) : u.diff(value), digits) + " " + u.label;
  }
  if (kind === "wind") {
    const u = UNITS.wind[chosen.wind];
    return fmt(value * u.k, digits) + " " + u.label;
  }
  if (kind === "pct") return fmt(value, digits) + " %";
  return fmt(value, digits);
}
function perHour(value, kind) {
  if (value === null || value === undefined) return "";
  const arrow = Math.abs(value) < 0.05 ? "→" : value > 0 ? "↑" : "↓";
  const sign = value > 0 ? "+" : "";
  return arrow + " " + sign + shown(value, kind === "temp" ? "tempdiff" : kind) + "/h";
}

// 24-hour clock times, local to this browser.
function clock(t) {
  const d = new Date(t * 1000);
  return pad(d.getHours()) + ":" + pad(d.getMinutes());
}
function clockSeconds(iso) {
  const d = new Date(iso);
  return pad(d.getHours()) + ":" + pad(d.getMinutes()) + ":" + pad(d.getSeconds());
}
function isoClock(iso) {
  return iso ? clock(Date.parse(iso) / 1000) : "–";
}
function dayClock(t) {
  return new Date(t * 1000).toLocaleDateString("en-GB", { weekday: "short" }) + " " + clock(t);
}

async function getJson(url) {
  const reply = await fetch(url, { cache: "no-store", signal: AbortSignal.timeout(ANSWER_WITHIN_MS) });
  const body = await reply.json();
  if (!reply.ok) throw new Error(body.error || reply.statusText);
  return body;
}

function skyInWords(o) {
  const words = [o.sky.charAt(0).toUpperCase() + o.sky.slice(1)];
  if (o.raining) words.push("raining");
  if (o.windy) words.push("windy");
  words.push(o.daylight ? "daylight" : "dark");
  return words.join(", ");
}

function onOff(digit) {
  return digit === 1 ? "on" : digit === 2 ? "undetermined" : "off";
}

// The tab's title and icon carry the verdict shown, so a tab in the background tells it too.
const ICON_COLOURS = { safe: "#22c55e", unsafe: "#dc2626", unknown: "#9ca3af" };
function showInTab(kind, word) {
  document.title = word + " · Tarnwick weather watch";
  const svg = '<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 32 32"><rect width="32" height="32" rx="6" fill="#1e293b"/>'
    + '<circle cx="16" cy="16" r="10" fill="' + ICON_COLOURS[kind] + '"/></svg>';
  $("icon").href = "data:image/svg+xml," + encodeURIComponent(svg);
}

// safety null: nothing current is known, whatever the last answer said.
function showSafety(safety) {
  const box = $("safety");
  const reasons = $("reasons");
  reasons.replaceChildren();
  if (!safety || !safety.known) {
    box.className = "verdict unknown";
    $("verdict").textContent = "Unknown";
    showInTab("unknown", "Unknown");
    return;
  }
  box.className = "verdict " + (safety.safe ? "safe" : "unsafe");
  $("verdict").textContent = safety.safe ? "Safe" : "Unsafe";
  showInTab(safety.safe ? "safe" : "unsafe", safety.safe ? "Safe" : "Unsafe");
  for (const u of safety.unsafe) {
    const li = document.createElement("li");
    li.textContent = u.text || u.name;
    reasons.append(li);
  }
}

// Asked at least twice within StaleAfterSeconds, so a quiet spell that long
// is a program that does not answer, not the wait for the next request.
function liveEveryMs() {
  return live ? Math.min(LIVE_EVERY_MS, Math.max(1000, live.freshness.stale_after_s * 500)) : LIVE_EVERY_MS;
}

// Why the values shown are not of now, or "" when they are: no answer to the
// last request, none for longer than StaleAfterSeconds (a request that hangs),
// or the program says so itself.
function outOfDate() {
  const since = "No answer from Tarnwick since " + clockSeconds(answeredAt);
  if (unanswered) return since;
  if (!live) return "";
  const quiet = (performance.now() - liveAt) / 1000;
  if (quiet > Math.max(live.freshness.stale_after_s, liveEveryMs() / 1000 + 1)) return since;
  const f = live.freshness;
  return live.observation && !f.fresh ? "values from " + clockSeconds(f.values_from) + " — " + f.why : "";
}

// Greyed tiles, the reason and no verdict while the values are not of now;
// run with every answer, every failed request and every second between.
function showWatchState() {
  const why = outOfDate();
  $("now").classList.toggle("stale", why !== "");
  $("stale").hidden = why === "";
  $("stale").textContent = why;
  showSafety(why === "" && live ? live.safety : null);
  showAge();
}

function showTiles(o, trends) {
  for (const el of document.querySelectorAll("#now .value[data-kind]")) {
    const key = el.id.slice(2);
    el.textContent = shown(o[key], el.dataset.kind);
  }
  $("v-sky").textContent = skyInWords(o);
  $("v-humidity_pct").textContent = shown(o.humidity_pct, "pct");
  $("v-cloud_cover_pct").textContent = shown(o.cloud_cover_pct, "pct", 0);
  $("v-rain").textContent = o.rain_words;
  $("c-rain").textContent = fmt(o.rain, 0) + " counts · rain above " + live.thresholds.rain;
  $("v-brightness").textContent = o.brightness_words;
  $("c-brightness").textContent = fmt(o.brightness, 0) + " counts · day at " + live.thresholds.light + " or less";
  $("v-heater").textContent = onOff(o.heater) + " / " + onOff(o.relay);
  const t = trends || {};
  $("t-ambient_c").textContent = perHour(t.ambient_c, "temp");
  $("t-amb_minus_sky_c").textContent = perHour(t.amb_minus_sky_c, "temp");
  $("t-humidity_pct").textContent = perHour(t.humidity_pct, "pct");
  $("t-dew_margin_c").textContent = t.dew_margin_c === null || t.dew_margin_c === undefined ? "" : "margin " + perHour(t.dew_margin_c, "temp");
}

function showToday(today) {
  $("today-panel").hidden = !today;
  if (!today) return;
  $("today-note").textContent = "since " + isoClock(today.from);
  for (const row of document.querySelectorAll("#today tbody tr")) {
    const r = today[row.dataset.key] || {};
    for (const which of ["high", "low"]) {
      const cell = row.querySelector("." + which);
      if (!(which in r)) continue;
      cell.dataset.value = r[which] === null ? "" : String(r[which]);
      cell.textContent = r[which] === null ? "–" : shown(r[which], row.dataset.kind);
      if (r[which] !== null) {
        const at = document.createElement("span");
        at.className = "at";
        at.textContent = isoClock(r[which + "_at"]);
        cell.append(at);
      }
    }
  }
}

function showNight(night) {
  $("night-panel").hidden = !night;
  if (!night) return;
  if (night.problem) {
    for (const id of ["sunset", "dark_from", "dark_to", "sunrise"]) $("n-" + id).textContent = "–";
    $("n-last").textContent = night.problem;
    return;
  }
  $("n-sunset").textContent = night.sunset ? isoClock(night.sunset) : "no sunset";
  $("n-dark_from").textContent = night.dark_from ? isoClock(night.dark_from) : "no astronomical darkness";
  $("n-dark_to").textContent = night.dark_to ? isoClock(night.dark_to) : "–";
  $("n-sunrise").textContent = night.sunrise ? isoClock(night.sunrise) : "no sunrise";
  const l = night.last_night;
  const hours = (m) => (m / 60).toFixed(1) + " h";
  $("n-last").textContent = l.dark_minutes ? hours(l.clear_dark_minutes) + " clear and safe of " + hours(l.dark_minutes) + " dark" : "no darkness";
}

function showLive(reply) {
  live = reply;
  liveAt = performance.now();
  $("board").textContent = reply.board.state;
  // Upload services: "Weather service: sent 12:04:05 · Wind map: retrying in 40 s"
  $("uploads").textContent = (reply.uploads || []).map(u => u.service + ": " + u.state).join(" \u00b7 ");
  showToday(reply.today);
  showNight(reply.night);
  const o = reply.observation;
  $("now").dataset.time = o ? o.time : "";
  if (!o) {
    for (const el of document.querySelectorAll("#now .value")) el.textContent = "–";
    for (const el of document.querySelectorAll("#now .trend")) el.textContent = "";
  } else {
    showTiles(o, reply.trends);
  }
  showWatchState();
}

function showAge() {
  if (!live) return;
  const o = live.observation;
  if (!o) {
    $("updated").textContent = "no readings yet";
    return;
  }
  const age = Math.max(0, Math.round(o.age_s + (performance.now() - liveAt) / 1000));
  $("updated").textContent = "updated " + age + " s ago";
}

async function refreshLive() {
  try {
    const reply = await getJson("/tarnwick/v1/live");
    answeredAt = new Date();
    unanswered = false;
    showLive(reply);
  } catch (e) {
    unanswered = true;
    showWatchState();
  }
  setTimeout(refreshLive, liveEveryMs());
}

// Shades the steps where a share (raining, daylight, darkness, unsafe) is at least a half.
function bandsPlugin(history) {
  const shade = (u, share, colour) => {
    const t = history.time;
    const ctx = u.ctx;
    ctx.save();
    ctx.fillStyle = colour;
    for (let i = 0; i < t.length; i++) {
      if (!(share(i) >= 0.5)) continue;
      const x0 = u.valToPos(t[i], "x", true);
      const x1 = u.valToPos(t[i] + history.step, "x", true);
      ctx.fillRect(x0, u.bbox.top, Math.max(1, x1 - x0), u.bbox.height);
    }
    ctx.restore();
  };
  const of = (key) => (i) => (history[key] ? history[key][i] : null);
  const unsafe = (i) => (history.safe[i] === null ? null : 1 - history.safe[i]);
  return {
    hooks: {
      drawClear: [(u) => {
        shade(u, of("dark"), "rgba(30, 41, 59, 0.16)");
        shade(u, of("daylight"), "rgba(250, 204, 21, 0.18)");
        shade(u, of("raining"), "rgba(59, 130, 246, 0.25)");
        shade(u, unsafe, "rgba(220, 38, 38, 0.10)");
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

function chartLayouts(h) {
  const cloudPct = h.cloudy.map((v) => (v === null ? null : v * 100));
  const t = UNITS.temp[chosen.temp].label;
  const w = UNITS.wind[chosen.wind].label;
  return [
    { id: "chart-temps", title: "Temperatures (" + t + ")", series: [["Ambient", inUnit(h.ambient_c, "temp"), "#dc2626"], ["Sky", inUnit(h.sky_c, "temp"), "#2563eb"], ["Dew point", inUnit(h.dew_point_c, "temp"), "#059669"]] },
    { id: "chart-clouds", title: "Ambient − sky (" + t + ") and cloud cover (%)", series: [["Ambient − sky", inUnit(h.amb_minus_sky_c, "tempdiff"), "#7c3aed"], ["Cloud cover", cloudPct, "#6b7280", "pct"]] },
    { id: "chart-humidity", title: "Humidity (%)", series: [["Humidity", h.humidity_pct, "#0891b2"]] },
    { id: "chart-wind", title: "Wind and gust (" + w + ")", series: [["Wind", inUnit(h.wind, "wind"), "#65a30d"], ["Gust", inUnit(h.gust_max, "wind"), "#ea580c"]] },
  ];
}

function chartWidth(el) {
  return Math.max(240, el.clientWidth - 12);
}

function drawCharts(history) {
  lastHistory = history;
  const h = withGaps(history);
  for (const c of charts) c.destroy();
  charts = [];
  for (const chart of chartLayouts(h)) {
    const el = $(chart.id);
    el.replaceChildren();
    const hasPct = chart.series.some((s) => s[3] === "pct");
    const opts = {
      title: chart.title,
      width: chartWidth(el), height: 200,
      plugins: [bandsPlugin(h)],
      scales: { x: { time: true, range: [Date.parse(h.from) / 1000, Date.parse(h.to) / 1000] }, pct: { range: [0, 100] } },
      axes: [{ values: (u, splits) => splits.map(span > 172800 ? dayClock : clock) }, { size: 46 }].concat(hasPct ? [{ scale: "pct", side: 1, grid: { show: false }, size: 44 }] : []),
      series: [{ value: (u, t) => (t === null ? "--" : dayClock(t)) }].concat(chart.series.map(([label, , colour, scale]) => ({ label, stroke: colour, width: 1.5, scale: scale || "y", spanGaps: false }))),
    };
    const data = [h.time].concat(chart.series.map((s) => s[1]));
    charts.push(new uPlot(opts, data, el));
    el.dataset.points = String(chart.series[0][1].filter((v) => v !== null).length);
  }
}

async function refreshCharts() {
  clearTimeout(chartTimer);
  const step = STEPS[span];
  const query = "from=" + span + "s&to=now&step=" + step;
  try {
    const h = await getJson("/tarnwick/v1/history?" + query);
    drawCharts(h);
    $("chart-note").textContent = h.time.length ? "" : "nothing archived in this span yet";
    const csv = new URLSearchParams({ from: h.from, to: h.to, step: String(h.step), format: "csv" });
    $("csv").href = "/tarnwick/v1/history?" + csv.toString();
  } catch (e) {
    $("chart-note").textContent = "charts unavailable: " + e.message;
  }
  chartTimer = setTimeout(refreshCharts, span <= 3600 ? 30000 : 60000);
}

function showUnitChoice() {
  for (const group of document.querySelectorAll("#units .choice"))
    for (const b of group.querySelectorAll("button")) b.classList.toggle("chosen", b.dataset.unit === chosen[group.dataset.kind]);
}

for (const group of document.querySelectorAll("#units .choice")) {
  for (const button of group.querySelectorAll("button")) {
    button.addEventListener("click", () => {
      chosen[group.dataset.kind] = button.dataset.unit;
      try {
        localStorage.setItem("tarnwick.unit." + group.dataset.kind, button.dataset.unit);
      } catch (e) {
        // Private windows may refuse storage; the choice then lasts for this visit.
      }
      showUnitChoice();
      if (live) showLive(live);
      if (lastHistory) drawCharts(lastHistory);
    });
  }
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
showUnitChoice();
setInterval(showWatchState, 1000);
refreshLive();
refreshCharts();
