// Validates a CycloneDX 1.6 JSON bill of materials against the format's published
// schema, with the CycloneDX project's own validator.
//
//     node validate.js FILE.cdx.json
const fs = require("fs");
const cyclonedx = require("@cyclonedx/cyclonedx-library");

const version = cyclonedx.Spec.Version.v1dot6;

async function main(file) {
  const validator = new cyclonedx.Validation.JsonStrictValidator(version);
  const errors = await validator.validate(fs.readFileSync(file, "utf8"));
  if (errors === null) {
    console.log(`${file}: valid CycloneDX ${version}`);
    return 0;
  }
  console.log(`${file}: not valid CycloneDX ${version}:`);
  console.log(JSON.stringify(errors, null, 2));
  return 1;
}

main(process.argv[2]).then((status) => process.exit(status));
