import TarnOnboardingWizard from "../components/TarnOnboardingWizard";

export default function OnboardingPage() {
  return <TarnOnboardingWizard />;
}