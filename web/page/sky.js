// The sky at the site (the Moon's phase, rise and set), the cloud limits in
// force for the cloud chart, and whether an archive is kept: without one the
// page shows no chart boxes and asks nothing of the archive.
"use strict";

const SKY_EVERY_MS = 300000;
let sky = null;
let archiveViewsStarted = false;

async function refreshSky() {
  try {
    sky = await getJson("/tarnwick/v1/sky");
    showSky(sky);
  } catch (e) {
    document.getElementById("moon-note").textContent = "unavailable: " + e.message;
  }
  setTimeout(refreshSky, SKY_EVERY_MS);
}

function showSky(s) {
  const limitsChanged = JSON.stringify(cloudLimits) !== JSON.stringify(s.clouds);
  cloudLimits = s.clouds;
  showArchiveViews(s.archive);
  if (limitsChanged) redrawCharts();
  showMoon(s.moon);
}

function redrawSky() {
  if (sky) showMoon(sky.moon);
}

function showArchiveViews(kept) {
  document.getElementById("archive-views").hidden = !kept;
  document.getElementById("changes-panel").hidden = !kept;
  document.getElementById("no-archive").hidden = kept;
  if (kept && !archiveViewsStarted) {
    archiveViewsStarted = true;
    refreshCharts();
    refreshChanges();
  }
}

// The lit part of the disc as seen from the north: the right side while waxing.
function moonDisc(fraction, waxing) {
  const ns = "http://www.w3.org/2000/svg";
  const svg = document.createElementNS(ns, "svg");
  svg.setAttribute("viewBox", "-10 -10 20 20");
  svg.setAttribute("class", "moon-disc");
  svg.setAttribute("aria-hidden", "true");
  const disc = document.createElementNS(ns, "circle");
  disc.setAttribute("r", "9.5");
  disc.setAttribute("fill", themeColour("border"));
  const lit = document.createElementNS(ns, "path");
  const rx = (9.5 * Math.abs(1 - 2 * fraction)).toFixed(2);
  const side = waxing ? 1 : 0;
  const bulge = fraction > 0.5 ? side : 1 - side;
  lit.setAttribute("d", "M0,-9.5 A9.5,9.5 0 0 " + side + " 0,9.5 A" + rx + ",9.5 0 0 " + bulge + " 0,-9.5 Z");
  lit.setAttribute("fill", themeColour("fg"));
  svg.append(disc, lit);
  return svg;
}

function showMoon(m) {
  const $ = (id) => document.getElementById(id);
  $("moon-panel").hidden = !m;
  if (!m) return;
  $("m-phase").replaceChildren(moonDisc(m.illuminated_fraction, m.waxing), m.phase);
  $("m-illuminated").textContent = (m.illuminated_fraction * 100).toFixed(0) + " %";
  if (!m.site) {
    for (const id of ["m-rise", "m-set", "m-now"]) $(id).textContent = "–";
    $("moon-note").textContent = m.problem || "rise and set need the site's Latitude and Longitude";
    return;
  }
  $("moon-note").textContent = "tonight";
  const allNight = m.always === "up" ? "up all night" : m.always === "down" ? "below the horizon all night" : "none tonight";
  showTime("m-rise", m.rise, allNight);
  showTime("m-set", m.set, allNight);
  $("m-now").textContent = m.elevation_deg > 0 ? "up, " + m.elevation_deg.toFixed(0) + "° high" : "below the horizon";
}
onThemeChange(redrawSky);
