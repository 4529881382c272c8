// Runs the Khronos glTF validator on one .gltf or .glb file and prints its report.
// Exit codes: 0 no errors, 1 errors found, 2 the file cannot be read.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

const file = process.argv[2];
if (!file) {
    console.error('usage: node validate_gltf.js FILE.gltf|FILE.glb');
    process.exit(2);
}
let bytes;
try {
    bytes = new Uint8Array(fs.readFileSync(file));
} catch (e) {
    console.error(`${file}: ${e.message}`);
    process.exit(2);
}
validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 200,
    // Buffers and images of a .gltf file lie beside it.
    externalResourceFunction: (uri) => new Promise((resolve, reject) => {
        fs.readFile(path.join(path.dirname(file), decodeURIComponent(uri)), (err, data) => {
            if (err) reject(err.toString());
            else resolve(new Uint8Array(data));
        });
    }),
}).then((report) => {
    const issues = report.issues;
    for (const m of issues.messages) {
        const severity = ['error', 'warning', 'info', 'hint'][m.severity] || m.severity;
        console.log(`${severity}: ${m.code} at ${m.pointer || '-'}: ${m.message}`);
    }
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos`);
    process.exit(issues.numErrors === 0 ? 0 : 1);
}, (error) => {
    console.error(`${file}: ${error}`);
    process.exit(2);
});
