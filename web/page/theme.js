// The page's colours: light or dark as the browser prefers, or the red night
// mode (a toggle this browser remembers) that keeps a dark-adapted eye. Every
// colour lives in style.css as a variable; the charts read theirs from there.
// Loaded in the head, so that a red page never flashes white first.
"use strict";

const MODE_KEY = "tarnwick.mode";
const themeListeners = [];
let pageMode = storedMode();

function storedMode() {
  try {
    return localStorage.getItem(MODE_KEY) === "red" ? "red" : "auto";
  } catch (e) {
    return "auto";
  }
}

function applyMode() {
  if (pageMode === "red") document.documentElement.dataset.mode = "red";
  else delete document.documentElement.dataset.mode;
  const button = document.getElementById("night-mode");
  if (button) button.setAttribute("aria-pressed", String(pageMode === "red"));
  for (const listener of themeListeners) listener();
}

// The value of a colour variable of style.css as the mode in force sets it.
function themeColour(name) {
  return getComputedStyle(document.documentElement).getPropertyValue("--" + name).trim();
}

// Called whenever the colours change (the toggle, or the browser's scheme).
function onThemeChange(listener) {
  themeListeners.push(listener);
}

applyMode();
document.addEventListener("DOMContentLoaded", () => {
  applyMode();
  // The settings and calibration pages follow the mode without a toggle.
  const toggle = document.getElementById("night-mode");
  if (!toggle) return;
  toggle.addEventListener("click", () => {
    pageMode = pageMode === "red" ? "auto" : "red";
    try {
      localStorage.setItem(MODE_KEY, pageMode);
    } catch (e) {
      // Storage refused (a private window): the mode lasts for this visit.
    }
    applyMode();
  });
});
window.matchMedia("(prefers-color-scheme: dark)").addEventListener("change", applyMode);
