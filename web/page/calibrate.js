// The sky calibration page: asks the program for the fit over the chosen
// nights and shows it as a plot, tables and the settings it proposes.
"use strict";
(function () {
  const byId = (id) => document.getElementById(id);
  let plot = null;

  function cell(row, text) {
    const td = document.createElement("td");
    td.textContent = text;
    row.appendChild(td);
  }

  function fixed(v, decimals = 1) {
    return v === null || v === undefined ? "–" : Number(v).toFixed(decimals);
  }

  // Bins as points and the fitted curve as a line on one ambient axis.
  function drawPlot(answer) {
    const xs = [...new Set([...answer.bins.map((b) => b.ambientC), ...(answer.curve || []).map((p) => p[0])])].sort((a, b) => a - b);
    const binAt = new Map(answer.bins.filter((b) => !b.leftOut).map((b) => [b.ambientC, b.clearSkyC]));
    const curveAt = new Map((answer.curve || []).map((p) => [p[0], p[1]]));
    const data = [xs, xs.map((x) => binAt.has(x) ? binAt.get(x) : null), xs.map((x) => curveAt.has(x) ? curveAt.get(x) : null)];
    const root = byId("cal-plot");
    if (plot) plot.destroy();
    plot = new uPlot({
      width: Math.max(300, root.clientWidth - 4), height: 320,
      scales: { x: { time: false } },
      axes: [{ label: "ambient °C" }, { label: "clear sky reading °C" }],
      series: [
        { label: "ambient" },
        { label: "clear sky (coldest readings)", stroke: "#1d4ed8", width: 0, paths: () => null, points: { show: true, size: 7, fill: "#1d4ed8" } },
        { label: "fitted baseline", stroke: "#dc2626", width: 2, spanGaps: true, points: { show: false } },
      ],
    }, data, root);
  }

  function showTables(answer) {
    const hours = byId("cal-hours");
    for (const row of hours.querySelectorAll("tbody tr")) {
      row.querySelectorAll("td").forEach((td) => td.remove());
      const h = answer[row.dataset.key + "Hours"] || {};
      for (const k of ["clear", "partlyCloudy", "overcast"]) cell(row, h[k] === undefined ? "–" : fixed(h[k]) + " h");
    }
    const settings = byId("cal-settings").querySelector("tbody");
    settings.replaceChildren();
    for (const key of Object.keys(answer.current)) {
      const row = document.createElement("tr");
      const th = document.createElement("th");
      th.textContent = key;
      row.appendChild(th);
      cell(row, answer.current[key]);
      cell(row, answer.proposed ? answer.proposed[key] : "–");
      settings.appendChild(row);
    }
    const bins = byId("cal-bins").querySelector("tbody");
    bins.replaceChildren();
    for (const b of answer.bins) {
      const row = document.createElement("tr");
      for (const v of [fixed(b.ambientC), fixed(b.clearSkyC), fixed(b.fittedC), fixed(b.spreadC), b.minutes]) cell(row, v);
      cell(row, b.leftOut ? "left out: a cloud layer, not the clear sky" : "");
      bins.appendChild(row);
    }
    const use = byId("cal-use");
    use.hidden = !answer.settingsLink;
    if (answer.settingsLink) use.href = answer.settingsLink;
    byId("cal-lines").textContent = answer.proposed
      ? Object.entries(answer.proposed).map(([k, v]) => "tarnwick config set " + k + " " + v).join("\n") : "";
  }

  async function run() {
    const nights = byId("cal-nights").value;
    byId("cal-note").textContent = "fitting…";
    try {
      const reply = await fetch("/tarnwick/v1/sky-calibration?nights=" + encodeURIComponent(nights), { cache: "no-store" });
      const answer = await reply.json();
      if (!reply.ok) throw new Error(answer.error || reply.statusText);
      byId("cal-result").hidden = false;
      byId("cal-note").textContent = answer.problem
        ? "No proposal: " + answer.problem
        : `${fixed(answer.darkHours)} dark hours of ${answer.nights} nights; the fit is within ${fixed(answer.rmsC, 2)} °C rms`;
      showTables(answer);
      drawPlot(answer);
    } catch (e) {
      byId("cal-note").textContent = "The calibration could not be made: " + e.message;
    }
  }

  byId("cal-run").addEventListener("click", run);
  run();
})();
