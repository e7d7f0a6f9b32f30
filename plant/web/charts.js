// 관리도: a master's I-MR chart of one reading over a period, from /api/charts: the individuals
// and the moving ranges as two uPlot charts with their limits as lines and the signalled points
// marked, the capability and the counts the station states under its chart, the signals' table.
// The choices live in the address, so the link can be sent. What a station wrote goes in as text.
"use strict";

const VALUE_COLOUR = "#1f5fa8";
const CENTRE_COLOUR = "#17823b";
const LIMIT_COLOUR = "#c62828";
const SIGNAL_COLOUR = "#c62828";
const CHOICES = ["master", "item", "station", "from", "to"];

function number(value, decimals) {
  return value === null || value === undefined ? "-" : Number(value).toFixed(decimals);
}

function line(label, colour, dash) {
  return { label: label, stroke: colour, width: 1, dash: dash, points: { show: false } };
}

// The points marked on a chart: no line between them, a dot each.
function marks(label) {
  return { label: label, stroke: SIGNAL_COLOUR, paths: () => null,
           points: { show: true, space: 0, size: 9, fill: SIGNAL_COLOUR } };
}

function draw(figure, series, data) {
  figure.querySelectorAll(".uplot").forEach((old) => old.remove());
  new uPlot({
    width: Math.max(240, Math.min(640, figure.clientWidth - 8)),
    height: 240,
    scales: { x: { time: false } },
    // The points' places are whole numbers: no tick between two of them.
    axes: [{ incrs: [1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000] }, {}],
    series: [{ label: "순서" }].concat(series),
  }, data, figure);
}

// The individuals at their places, the signals listed marked over them, and the three limits.
function drawIndividuals(answer) {
  const values = new Map();
  answer.individuals.index.forEach((at, k) => values.set(at, answer.individuals.value[k]));
  const marked = new Map(answer.signals.map((s) => [s.index, s.value]));
  const x = Array.from(new Set([...values.keys(), ...marked.keys()])).sort((a, b) => a - b);
  const limits = answer.limits || {};
  const constant = (v) => x.map(() => (v === undefined ? null : v));
  draw(document.getElementById("i-chart"), [
    { label: answer.item_text, stroke: VALUE_COLOUR, width: 1.5, spanGaps: true },
    marks("신호"),
    line("CL", CENTRE_COLOUR, []),
    line("UCL", LIMIT_COLOUR, [6, 4]),
    line("LCL", LIMIT_COLOUR, [6, 4]),
  ], [x, x.map((at) => values.has(at) ? values.get(at) : null),
      x.map((at) => marked.has(at) ? marked.get(at) : null),
      constant(limits.cl), constant(limits.ucl), constant(limits.lcl)]);
}

function drawMovingRanges(answer) {
  const x = answer.moving_ranges.index;
  const limits = answer.limits || {};
  const constant = (v) => x.map(() => (v === undefined ? null : v));
  draw(document.getElementById("mr-chart"), [
    { label: "이동범위", stroke: VALUE_COLOUR, width: 1.5 },
    line("CL", CENTRE_COLOUR, []),
    line("UCL", LIMIT_COLOUR, [6, 4]),
  ], [x, answer.moving_ranges.value, constant(limits.mr_cl), constant(limits.mr_ucl)]);
}

// An index as the station's capability box says it.
function indexText(index, least) {
  if (index.count < least) return "기록 부족 (" + index.count + "건, " + least + "건부터)";
  if (index.status !== "computed") return "계산 불가 (" + index.count + "건, 산포 없음)";
  return index.value.toFixed(2) + " (" + index.count + "건)";
}

function lines(box, texts) {
  box.replaceChildren(...texts.map((t) => {
    const p = document.createElement("p");
    p.textContent = t;
    return p;
  }));
}

function showFacts(answer) {
  const capability = answer.capability;
  lines(document.getElementById("capability"), typeof capability === "string" ? [capability] : [
    "상한 (판정값) " + capability.usl,
    "Ppk " + indexText(capability.ppk, capability.min_records),
    "Cpk " + indexText(capability.cpk, capability.min_records),
    "백분위 지수 " + indexText(capability.percentile_index, capability.min_records),
  ]);
  const counts = answer.counts;
  const texts = counts.rules.map((n, r) => "규칙 " + (r + 1) + ": " + n + "건");
  if (counts.ewma !== null) texts.push("EWMA: " + counts.ewma + "건");
  texts.push("검사 " + counts.tested + "건");
  if (counts.unfitted > 0) texts.push("측정 불가 기록 " + counts.unfitted + "건 제외");
  lines(document.getElementById("counts"), texts);
  lines(document.getElementById("rules"), answer.rule_texts);
}

function showSignals(answer) {
  const body = document.getElementById("signals");
  body.replaceChildren();
  for (const s of answer.signals) {
    const row = body.insertRow();
    for (const [text, kind] of [[s.index, "number"], [s.time], [s.serial || "-"],
                                [s.value_text, "number"], [s.rules]]) {
      const td = row.insertCell();
      td.textContent = String(text);
      if (kind) td.className = kind;
    }
  }
}

// The title and the station's line over its chart: the limits, their baseline and the count.
function showTitle(answer, decimals) {
  const limits = answer.limits;
  let title = answer.master + " (버전 " + answer.version_short + ") " + answer.item_text +
    " I-MR 관리도";
  if (limits) {
    title += "   CL " + number(limits.cl, decimals) + "  UCL " + number(limits.ucl, decimals) +
      "  LCL " + number(limits.lcl, decimals) + "  σ " + number(limits.sigma, decimals) +
      " · 기준: 버전 " + answer.version_short + "의 첫 " + limits.count + "건";
  }
  document.getElementById("title").textContent = title;
  document.getElementById("state").textContent =
    answer.counts.tested === 0 ? "조건에 맞는 생산 검사 기록이 없습니다."
    : !limits ? "기준 구간의 검사가 2건보다 적어 관리 한계를 정할 수 없습니다."
    : answer.signals.length === 0 ? "규칙 위반 신호가 없습니다." : "";
}

function options(select, values, first) {
  const kept = first ? [first] : [];
  select.replaceChildren(...kept, ...values.map((v) => {
    const option = document.createElement("option");
    option.value = v;
    option.textContent = v;
    return option;
  }));
}

function showChoices(answer) {
  const master = document.getElementById("master");
  options(master, answer.masters.includes(answer.master) || !answer.master
    ? answer.masters : [answer.master].concat(answer.masters));
  master.value = answer.master;
  const all = document.createElement("option");
  all.value = "";
  all.textContent = "전체";
  options(document.getElementById("station"), answer.stations, all);
  for (const name of CHOICES) document.getElementById(name).value = answer[name];
  const query = new URLSearchParams(CHOICES.map((name) => [name, answer[name]])).toString();
  history.replaceState(null, "", "/charts?" + query);
  const csv = document.getElementById("csv");
  csv.href = "/api/charts.csv?" + query;
  csv.hidden = !answer.master;
}

async function chart(query) {
  const answer = await readApi("/api/charts?" + query);
  if (!answer) return;
  showChoices(answer);
  if (!answer.master) {
    document.getElementById("state").textContent = "이 기간에 검사한 마스터가 없습니다.";
    return;
  }
  const decimals = answer.specified ? 2 : 4;
  showTitle(answer, decimals);
  drawIndividuals(answer);
  drawMovingRanges(answer);
  showFacts(answer);
  showSignals(answer);
}

document.getElementById("choices").addEventListener("submit", (event) => {
  event.preventDefault();
  const form = new FormData(event.target);
  chart(new URLSearchParams(CHOICES.map((name) => [name, form.get(name) || ""])).toString());
});
chart(new URLSearchParams(window.location.search).toString());
