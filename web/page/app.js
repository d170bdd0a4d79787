// The weather watch page: live values every few seconds, charts of the
// archive for the chosen span. Every text from the program goes in through
// textContent, never as markup.
"use strict";

const LIVE_EVERY_MS = 5000;
const STEPS = { 3600: 10, 21600: 60, 86400: 300, 604800: 1800 };
const UNIT = { "°C": " °C", "%": " %", "mph": " mph", "counts": "" };

let live = null;          // the last /live answer
let liveAt = 0;           // performance.now() when it came
let span = 3600;
let charts = [];
let chartTimer = null;

const $ = (id) => document.getElementById(id);
const pad = (n) => String(n).padStart(2, "0");

// 24-hour clock times on the axis; the weekday too on spans over two days.
function clock(t) {
  const d = new Date(t * 1000);
  return pad(d.getHours()) + ":" + pad(d.getMinutes());
}
function dayClock(t) {
  return new Date(t * 1000).toLocaleDateString("en-GB", { weekday: "short" }) + " " + clock(t);
}

async function getJson(url) {
  const reply = await fetch(url, { cache: "no-store" });
  const body = await reply.json();
  if (!reply.ok) throw new Error(body.error || reply.statusText);
  return body;
}

function withUnit(value, unit, digits = 1) {
  if (value === null || value === undefined) return "–";
  return value.toFixed(digits) + (UNIT[unit] ?? " " + unit);
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

function showSafety(safety) {
  const box = $("safety");
  const reasons = $("reasons");
  reasons.replaceChildren();
  if (!safety.known) {
    box.className = "verdict unknown";
    $("verdict").textContent = "Safety unknown";
    return;
  }
  box.className = "verdict " + (safety.safe ? "safe" : "unsafe");
  $("verdict").textContent = safety.safe ? "Safe" : "Unsafe";
  for (const u of safety.unsafe) {
    const li = document.createElement("li");
    li.textContent = u.text || u.name;
    reasons.append(li);
  }
}

function showLive(reply) {
  live = reply;
  liveAt = performance.now();
  $("board").textContent = reply.board.state;
  showSafety(reply.safety);
  // Upload services: "Weather service: sent 12:04:05 · Wind map: retrying in 40 s"
  $("uploads").textContent = (reply.uploads || []).map(u => u.service + ": " + u.state).join(" \u00b7 ");
  const o = reply.observation;
  const u = reply.units;
  $("now").dataset.time = o ? o.time : "";
  if (!o) {
    for (const el of document.querySelectorAll("#now .value")) el.textContent = "–";
    showAge();
    return;
  }
  $("v-sky").textContent = skyInWords(o);
  for (const key of ["ambient_c", "sky_c", "amb_minus_sky_c", "humidity_pct", "dew_point_c"])
    $("v-" + key).textContent = withUnit(o[key], u[key]);
  $("v-wind").textContent = withUnit(o.wind, u.wind);
  $("v-wind_avg").textContent = withUnit(o.wind_avg, u.wind_avg);
  $("v-gust").textContent = withUnit(o.gust, u.gust);
  $("v-rain").textContent = withUnit(o.rain, u.rain, 0);
  $("v-brightness").textContent = withUnit(o.brightness, u.brightness, 0);
  $("v-heater").textContent = onOff(o.heater) + " / " + onOff(o.relay);
  showAge();
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
    showLive(await getJson("/tarnwick/v1/live"));
  } catch (e) {
    $("updated").textContent = "no answer from the program (" + e.message + "); trying again";
  }
  setTimeout(refreshLive, LIVE_EVERY_MS);
}

// Shades the spans where a share (raining, daylight) is at least a half.
function bandsPlugin(history) {
  const shade = (u, key, colour) => {
    const t = history.time;
    const ctx = u.ctx;
    ctx.save();
    ctx.fillStyle = colour;
    for (let i = 0; i < t.length; i++) {
      if (!(history[key][i] >= 0.5)) continue;
      const x0 = u.valToPos(t[i], "x", true);
      const x1 = u.valToPos(t[i] + history.step, "x", true);
      ctx.fillRect(x0, u.bbox.top, Math.max(1, x1 - x0), u.bbox.height);
    }
    ctx.restore();
  };
  return { hooks: { drawClear: [(u) => { shade(u, "daylight", "rgba(250, 204, 21, 0.18)"); shade(u, "raining", "rgba(59, 130, 246, 0.25)"); }] } };
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

function chartLayouts(h) {
  const cloudPct = h.cloudy.map((v) => (v === null ? null : v * 100));
  return [
    { id: "chart-temps", title: "Temperatures (°C)", series: [["Ambient", h.ambient_c, "#dc2626"], ["Sky", h.sky_c, "#2563eb"], ["Dew point", h.dew_point_c, "#059669"]] },
    { id: "chart-clouds", title: "Ambient − sky (°C) and cloud cover (%)", series: [["Ambient − sky", h.amb_minus_sky_c, "#7c3aed"], ["Cloud cover", cloudPct, "#6b7280", "pct"]] },
    { id: "chart-humidity", title: "Humidity (%)", series: [["Humidity", h.humidity_pct, "#0891b2"]] },
    { id: "chart-wind", title: "Wind and gust (mph)", series: [["Wind", h.wind, "#65a30d"], ["Gust", h.gust_max, "#ea580c"]] },
  ];
}

function drawCharts(history) {
  const h = withGaps(history);
  for (const c of charts) c.destroy();
  charts = [];
  for (const chart of chartLayouts(h)) {
    const el = $(chart.id);
    el.replaceChildren();
    const width = Math.max(300, el.clientWidth - 12);
    const hasPct = chart.series.some((s) => s[3] === "pct");
    const opts = {
      title: chart.title,
      width, height: 200,
      plugins: [bandsPlugin(h)],
      scales: { x: { time: true, range: [Date.parse(h.from) / 1000, Date.parse(h.to) / 1000] }, pct: { range: [0, 100] } },
      axes: [{ values: (u, splits) => splits.map(span > 172800 ? dayClock : clock) }, { size: 50 }].concat(hasPct ? [{ scale: "pct", side: 1, grid: { show: false }, size: 40 }] : []),
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

for (const button of document.querySelectorAll("#spans button")) {
  button.addEventListener("click", () => {
    span = Number(button.dataset.span);
    for (const b of document.querySelectorAll("#spans button")) b.classList.toggle("chosen", b === button);
    refreshCharts();
  });
}
window.addEventListener("resize", () => {
  for (const c of charts) c.setSize({ width: Math.max(300, c.root.parentElement.clientWidth - 12), height: 200 });
});
setInterval(showAge, 1000);
refreshLive();
refreshCharts();
