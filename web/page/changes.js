// The last changes of the safety verdict from the archive: when, to what, and why.
"use strict";

const CHANGES_EVERY_MS = 60000;
const REASON_WORDS = { rain: "rain", clouds: "clouds", wind: "wind", daylight: "daylight", board: "board not live", startup: "start-up wait" };

function reasonWords(names) {
  return names.map((n) => REASON_WORDS[n] || n).join(", ");
}

async function refreshChanges() {
  try {
    showChanges(await getJson("/tarnwick/v1/safety-changes?limit=8"));
  } catch (e) {
    document.getElementById("changes-note").textContent = "unavailable: " + e.message;
  }
  setTimeout(refreshChanges, CHANGES_EVERY_MS);
}

function showChanges(reply) {
  const list = document.getElementById("changes");
  list.replaceChildren();
  document.getElementById("changes-note").textContent = reply.changes.length ? "newest first" : "none in the last " + reply.days + " days";
  for (const c of reply.changes) {
    const li = document.createElement("li");
    const to = document.createElement("span");
    const why = document.createElement("span");
    why.className = "why";
    if (c.safe === null) {
      to.textContent = "Unknown";
      why.textContent = "no verdict yet";
    } else if (c.safe) {
      to.textContent = "Safe";
      to.className = "to-safe";
      why.textContent = c.before.length ? "no more " + reasonWords(c.before) : "";
    } else {
      to.textContent = "Unsafe";
      to.className = "to-unsafe";
      why.textContent = reasonWords(c.unsafe);
    }
    li.append(timeElement(c.time), to, why);
    list.append(li);
  }
}
