// The calendar of the last twelve months: one cell per night, shaded by its
// clear dark hours, with the night's figures in its tooltip; and last night
// beside tonight so far. Shown only when the program keeps an archive and
// knows its site (the live answer then carries "today" and "night"), so a
// page without them asks for nothing that would fail.
"use strict";
(function () {
  const REFRESH_MS = 10 * 60 * 1000;
  const CELL = 11, GAP = 2, TOP = 16, LEFT = 26;
  const SVG = "http://www.w3.org/2000/svg";
  const MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"];
  // Upper bounds of clear dark hours for the shades 0..4.
  const LEVELS = [0, 2, 4, 7, Infinity];
  const byId = (id) => document.getElementById(id);

  async function getJson(url) {
    const reply = await fetch(url, { cache: "no-store", signal: AbortSignal.timeout(60000) });
    const body = await reply.json();
    if (!reply.ok) throw new Error(body.error || reply.statusText);
    return body;
  }

  function level(night) {
    if (!night.archivedHours) return "none";
    return String(LEVELS.findIndex((top) => night.clearDarkHours <= top));
  }

  function dayOf(iso) {
    const [y, m, d] = iso.split("-").map(Number);
    return new Date(Date.UTC(y, m - 1, d));
  }

  function figures(n) {
    if (!n) return "–";
    if (!n.archivedHours) return n.darkHours.toFixed(1) + " h dark, nothing archived";
    const rain = n.rainMinutes ? n.rainMinutes + " min rain" : "no rain";
    return n.clearDarkHours.toFixed(1) + " h clear of " + n.darkHours.toFixed(1) + " h dark · " +
      n.safeHours.toFixed(1) + " h safe · " + rain;
  }

  function node(name, attributes, parent) {
    const el = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) el.setAttribute(k, v);
    parent.appendChild(el);
    return el;
  }

  // Weeks as columns (Monday on top), months named above their first week.
  function draw(nights) {
    const svg = byId("calendar");
    svg.replaceChildren();
    if (!nights.length) return;
    const first = dayOf(nights[0].date);
    const offset = (first.getUTCDay() + 6) % 7;
    const weeks = Math.ceil((nights.length + offset) / 7);
    // Room on the right for the last month's name.
    svg.setAttribute("viewBox", `0 0 ${LEFT + weeks * (CELL + GAP) + 14} ${TOP + 7 * (CELL + GAP)}`);
    for (const [row, name] of [[0, "Mon"], [2, "Wed"], [4, "Fri"]])
      node("text", { x: 0, y: TOP + row * (CELL + GAP) + CELL - 2, class: "cal-label" }, svg).textContent = name;
    let lastMonth = -1;
    nights.forEach((n, i) => {
      const day = dayOf(n.date);
      const column = Math.floor((i + offset) / 7), row = (i + offset) % 7;
      const x = LEFT + column * (CELL + GAP), y = TOP + row * (CELL + GAP);
      if (day.getUTCMonth() !== lastMonth && row <= 3) {
        lastMonth = day.getUTCMonth();
        node("text", { x, y: TOP - 5, class: "cal-label" }, svg).textContent = MONTHS[lastMonth];
      }
      const cell = node("rect", { x, y, width: CELL, height: CELL, rx: 2, class: "cal-cell cal-" + level(n), "data-date": n.date }, svg);
      node("title", {}, cell).textContent =
        day.toLocaleDateString("en-GB", { weekday: "short", day: "numeric", month: "short", year: "numeric", timeZone: "UTC" }) +
        " night: " + figures(n);
    });
  }

  async function refresh() {
    const section = byId("nights");
    let live;
    try {
      live = await getJson("/tarnwick/v1/live");
    } catch (e) {
      return; // the page's own refresh tells that the program is not answering
    }
    const usable = Boolean(live.today && live.night && !live.night.problem);
    section.hidden = !usable;
    if (!usable) return;
    try {
      const answer = await getJson("/tarnwick/v1/nights?days=365");
      byId("nights-last").textContent = figures(answer.lastNight);
      byId("nights-tonight").textContent = figures(answer.tonight);
      byId("nights-note").textContent = "";
      draw(answer.nights);
    } catch (e) {
      byId("nights-note").textContent = "The nights could not be read: " + e.message;
    }
  }

  refresh();
  setInterval(refresh, REFRESH_MS);
})();
