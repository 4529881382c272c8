// Opens a page written by `wux view` in headless Chromium with software WebGL and takes the
// screenshots the browser test checks:
//   drawn.png     once the page reports its first picture (data-drawn="yes" on <body>);
//   orbited.png   after a mouse drag across the canvas;
//   overlays.png  after the helpers' toggle is switched on (when the file has helpers).
// It fails when the page asks for anything but itself, reports an error, or never draws.
// usage: node view_page.mjs PAGE.html OUT_FOLDER [CHROMIUM]
import { chromium } from "playwright-core";
import path from "node:path";
import { pathToFileURL } from "node:url";

const [pagePath, outFolder, executable = "/usr/bin/chromium"] = process.argv.slice(2);
if (!pagePath || !outFolder) {
  console.error("usage: node view_page.mjs PAGE.html OUT_FOLDER [CHROMIUM]");
  process.exit(2);
}
const pageUrl = pathToFileURL(path.resolve(pagePath)).href;
const timeout = 120000;

const args = [
  "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--ignore-gpu-blocklist",
  "--disable-background-networking", "--disable-component-update", "--disable-sync", "--no-first-run",
];
if (process.getuid && process.getuid() === 0) args.push("--no-sandbox");

const browser = await chromium.launch({ executablePath: executable, headless: true, args, timeout });
const problems = [];
try {
  const context = await browser.newContext({ viewport: { width: 800, height: 600 }, deviceScaleFactor: 1 });
  const page = await context.newPage();
  page.setDefaultTimeout(timeout);
  page.on("request", (request) => {
    if (request.url() !== pageUrl) problems.push("the page asked for " + request.url());
  });
  page.on("pageerror", (error) => problems.push("page error: " + error.message));
  page.on("console", (message) => {
    if (message.type() === "error") problems.push("console error: " + message.text());
  });

  const start = Date.now();
  await page.goto(pageUrl);
  await page.waitForFunction(() => document.body.dataset.drawn !== "no");
  console.log("first picture " + (Date.now() - start) + " ms after opening the page");
  const state = await page.evaluate(() => ({ drawn: document.body.dataset.drawn, error: document.body.dataset.error }));
  if (state.drawn !== "yes") throw new Error("the page did not draw: " + state.error);
  await page.screenshot({ path: path.join(outFolder, "drawn.png") });

  const framesNow = () => page.evaluate(() => Number(document.body.dataset.frames));
  const waitForFrameAfter = (frames) => page.waitForFunction((n) => Number(document.body.dataset.frames) > n, frames);

  let frames = await framesNow();
  await page.mouse.move(400, 300);
  await page.mouse.down();
  await page.mouse.move(550, 300, { steps: 5 });
  await page.mouse.up();
  await waitForFrameAfter(frames);
  await page.screenshot({ path: path.join(outFolder, "orbited.png") });

  await page.mouse.dblclick(400, 300);  // back to the first framing
  if (await page.isEnabled("#wux-overlay-helpers")) {
    frames = await framesNow();
    await page.click("#wux-overlay-helpers");
    await waitForFrameAfter(frames);
    await page.screenshot({ path: path.join(outFolder, "overlays.png") });
  }
} catch (error) {
  problems.push(error.message);
} finally {
  await browser.close();
}
for (const problem of problems) console.error(problem);
process.exit(problems.length === 0 ? 0 : 1);
