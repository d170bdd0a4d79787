// The weather watch page: live values every few seconds (the charts, the sky
// and the safety changes have files of their own). Every text from the program goes in through
// textContent, never as markup. The program judges the weather and the
// freshness of readings; the page only shows what it was told, and tells no
// verdict at all once it has not heard from the program for longer than the
// program's own StaleAfterSeconds.
"use strict";

const LIVE_EVERY_MS = 5000;
const ANSWER_WITHIN_MS = 4000; // a hung program is no answer

let live = null;          // the last /live answer
let liveAt = 0;           // performance.now() when it came
let answeredAt = new Date(); // the clock time of the last answer (the page's opening before one)
let unanswered = false;   // the last request got no answer

const $ = (id) => document.getElementById(id);

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
    li.textContent = localizeUtcTimes(u.text || u.name);
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
  $("today-note").replaceChildren("since ", timeElement(today.from));
  for (const row of document.querySelectorAll("#today tbody tr")) {
    const r = today[row.dataset.key] || {};
    for (const which of ["high", "low"]) {
      const cell = row.querySelector("." + which);
      if (!(which in r)) continue;
      cell.dataset.value = r[which] === null ? "" : String(r[which]);
      cell.textContent = r[which] === null ? "–" : shown(r[which], row.dataset.kind);
      if (r[which] !== null) {
        const at = timeElement(r[which + "_at"]);
        at.className = "at";
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
  showTime("n-sunset", night.sunset, "no sunset");
  showTime("n-dark_from", night.dark_from, "no astronomical darkness");
  showTime("n-dark_to", night.dark_to);
  showTime("n-sunrise", night.sunrise, "no sunrise");
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
      redrawCharts();
    });
  }
}
showUnitChoice();
setInterval(showWatchState, 1000);
refreshLive();
refreshSky();
