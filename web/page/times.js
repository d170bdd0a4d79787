// Times on the page: one zone everywhere, this browser's local time, with the
// UTC moment in the tooltip of each time shown.
"use strict";

const pad = (n) => String(n).padStart(2, "0");

// 24-hour clock times, local to this browser; t in seconds since the epoch.
function clock(t) {
  const d = new Date(t * 1000);
  return pad(d.getHours()) + ":" + pad(d.getMinutes());
}
function clockSeconds(when) {
  const d = new Date(when);
  return pad(d.getHours()) + ":" + pad(d.getMinutes()) + ":" + pad(d.getSeconds());
}
function isoClock(iso) {
  return iso ? clock(Date.parse(iso) / 1000) : "–";
}
function dayClock(t) {
  return new Date(t * 1000).toLocaleDateString("en-GB", { weekday: "short" }) + " " + clock(t);
}
function utcText(ms) {
  return new Date(ms).toISOString().slice(0, 19).replace("T", " ") + " UTC";
}

// A <time> showing the local clock time of an ISO moment, UTC in its tooltip;
// with a weekday when it is not today.
function timeElement(iso, withSeconds = false) {
  const el = document.createElement("time");
  if (!iso) {
    el.textContent = "–";
    return el;
  }
  const ms = Date.parse(iso);
  const sameDay = new Date(ms).toDateString() === new Date().toDateString();
  el.dateTime = new Date(ms).toISOString();
  el.title = utcText(ms);
  el.textContent = withSeconds ? clockSeconds(ms) : sameDay ? clock(ms / 1000) : dayClock(ms / 1000);
  return el;
}
function showTime(id, iso, fallback = "–") {
  const el = document.getElementById(id);
  if (!iso) {
    el.textContent = fallback;
    return;
  }
  el.replaceChildren(timeElement(iso));
}

// Texts from the program name times as "HH:MM UTC" (a condition that ended):
// shown in local time like the rest of the page, the latest such moment at or
// before now.
function localizeUtcTimes(text) {
  return text.replace(/\b(\d{2}):(\d{2})(?::(\d{2}))? UTC\b/g, (match, h, m, s) => {
    const now = new Date();
    let ms = Date.UTC(now.getUTCFullYear(), now.getUTCMonth(), now.getUTCDate(), +h, +m, s ? +s : 0);
    if (ms > now.getTime() + 60000) ms -= 86400000;
    return s ? clockSeconds(ms) : clock(ms / 1000);
  });
}
