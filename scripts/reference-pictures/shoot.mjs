// Screenshots in headless Chromium for docs/pictures: a GLB shown by model-viewer, or a page
// of `wux view` with its panel folded away. Both from the three-quarter view of `wux render`.
// usage: node shoot.mjs model-viewer|wux-view INPUT OUT.png WIDTH HEIGHT [CHROMIUM]
import { chromium } from "playwright-core";
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath, pathToFileURL } from "node:url";

const [mode, input, output, width, height, executable = "/usr/bin/chromium"] = process.argv.slice(2);
const here = path.dirname(fileURLToPath(import.meta.url));
const args = ["--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--ignore-gpu-blocklist",
  "--allow-file-access-from-files", "--no-first-run"];
if (process.getuid && process.getuid() === 0) args.push("--no-sandbox");

const browser = await chromium.launch({ executablePath: executable, headless: true, args });
try {
  const page = await browser.newPage({ viewport: { width: Number(width), height: Number(height) }, deviceScaleFactor: 1 });
  page.on("pageerror", (error) => console.error("page error: " + error.message));
  if (mode === "model-viewer") {
    // The file's Z-up view direction (1, -1.3, 0.9) in the GLB's Y-up frame is (1, 0.9, 1.3).
    const viewer = path.join(here, "node_modules/@google/model-viewer/dist/model-viewer-umd.min.js");
    const html = path.join(path.dirname(path.resolve(output)), ".model-viewer.html");
    fs.writeFileSync(html, `<!DOCTYPE html><html><body style="margin:0;background:#2e333d">
<script src="${pathToFileURL(viewer).href}"></script>
<model-viewer src="${pathToFileURL(path.resolve(input)).href}" camera-orbit="37.6deg 61.2deg auto"
  field-of-view="34deg" interaction-prompt="none" style="width:100vw;height:100vh;background:#2e333d">
</model-viewer></body></html>`);
    await page.goto(pathToFileURL(html).href);
    await page.waitForFunction(() => document.querySelector("model-viewer").modelIsVisible, null, { timeout: 60000 });
    await page.waitForTimeout(1500);  // the environment light fades in
    fs.unlinkSync(html);
  } else {
    await page.goto(pathToFileURL(path.resolve(input)).href);
    await page.waitForFunction(() => document.body.dataset.drawn !== "no", null, { timeout: 60000 });
    await page.click("#wux-fold");
    await page.mouse.dblclick(Number(width) / 2, Number(height) / 2);  // framed again without the panel
    await page.waitForTimeout(300);
  }
  await page.screenshot({ path: output });
} finally {
  await browser.close();
}
