import { useState } from "react";

const steps: { title: string; key: string }[] = [
  { title: "Industry", key: "industry" },
  { title: "Team Size", key: "teamSize" },
  { title: "Goals", key: "goals" },
];

export default function TarnOnboardingWizard() {
  const [stepIndex, setStepIndex] = useState(0);
  const [answers, setAnswers] = useState<Record<string, string>>({});
  const step = steps[stepIndex];
  const isLastStep = stepIndex === steps.length - 1;

  return (
    <main style={{ maxWidth: 520, margin: "96px auto", fontFamily: "Inter, sans-serif" }}>
      <p style={{ fontSize: 12, letterSpacing: 1.2, textTransform: "uppercase", color: "#7a7a7a" }}>
        Step {stepIndex + 1} of {steps.length}
      </p>
      <h1 style={{ marginTop: 8 }}>{step.title}</h1>
      <input
        type="text"
        value={answers[step.key] ?? ""}
        onChange={(event) => setAnswers({ ...answers, [step.key]: event.target.value })}
        placeholder={`Enter ${step.title.toLowerCase()}`}
        style={{ marginTop: 16, width: "100%", border: "1px solid #d4d4d8", borderRadius: 10, padding: "10px 12px" }}
      />
      <button
        type="button"
        onClick={() => setStepIndex(isLastStep ? stepIndex : stepIndex + 1)}
        style={{
          marginTop: 20,
          background: "#0f766e",
          color: "white",
          border: "none",
          borderRadius: 10,
          padding: "10px 16px",
          cursor: "pointer",
        }}
      >
        {isLastStep ? "Finish" : "Continue"}
      </button>
    </main>
  );
}